// Throughput of the reply checks: a stream of complete read replies (20
// holding registers each) fed in pieces of a fixed size.
#include <benchmark/benchmark.h>

#include <string>

#include "base/Settings.h"
#include "master/CoreCode.h"
#include "master/MasterCode.h"
#include "master/MasterState.h"

namespace korvane {
namespace {

std::string RtuReply() {
  std::string r{1, 3, 40};
  for (int i = 0; i < 20; ++i) {
    r.push_back(static_cast<char>(i));
    r.push_back(static_cast<char>(0x10 + i));
  }
  std::int32_t c = CRC16(r, static_cast<std::int32_t>(r.size()));
  r.push_back(static_cast<char>(c / 256));
  r.push_back(static_cast<char>(c % 256));
  return r;
}

std::string AsciiReply() {
  std::string bytes = RtuReply().substr(0, 43);
  bytes.push_back(static_cast<char>(Lrc(bytes)));
  std::string out = ":";
  for (unsigned char b : bytes) {
    out.push_back("0123456789ABCDEF"[b >> 4]);
    out.push_back("0123456789ABCDEF"[b & 15]);
  }
  return out + "\r\n";
}

void FeedInPieces(benchmark::State& bench, bool rtu) {
  const auto pieceSize = static_cast<std::size_t>(bench.range(0));
  std::string one = rtu ? RtuReply() : AsciiReply();
  std::string stream;
  while (stream.size() < 64 * 1024) stream += one;

  Settings settings;
  settings.Link.RtuMode = rtu;
  MasterState state;
  RegisterImage image;
  TMaster master(settings, state, image, [](const std::string&) {}, [] { return 0u; });
  state.ChunkStart = 1;
  state.ChunkSize = 20;
  state.ReplyDeadline = 1 << 30;
  master.MasterPollPLC();

  std::int64_t ok = 0;
  for (auto _ : bench) {
    for (std::size_t at = 0; at < stream.size(); at += pieceSize) {
      std::string_view piece = std::string_view(stream).substr(at, pieceSize);
      std::int32_t r = rtu ? master.MasterCheckRTU(static_cast<std::int32_t>(piece.size()), piece)
                           : master.MasterCheckASCII(static_cast<std::int32_t>(piece.size()), piece);
      ok += r == DataOk;
    }
  }
  benchmark::DoNotOptimize(ok);
  if (ok == 0) bench.SkipWithError("no reply was accepted");
  bench.SetBytesProcessed(static_cast<std::int64_t>(bench.iterations()) * static_cast<std::int64_t>(stream.size()));
}

void BM_MasterCheckRTU(benchmark::State& bench) { FeedInPieces(bench, true); }
void BM_MasterCheckASCII(benchmark::State& bench) { FeedInPieces(bench, false); }

BENCHMARK(BM_MasterCheckRTU)->Arg(1)->Arg(8)->Arg(64);
BENCHMARK(BM_MasterCheckASCII)->Arg(1)->Arg(8)->Arg(64);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
