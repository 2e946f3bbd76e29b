// libFuzzer target: the Modbus TCP reply check fed arbitrary pieces, with
// requests composed in between; the collector must stay bounded and every
// result be one of the defined codes.
#include "FuzzMaster.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  using namespace korvane;
  Settings settings;
  MasterState state;
  static RegisterImage image;  // large; shared between runs, contents do not matter
  std::uint32_t tick = in.ConsumeIntegral<std::uint32_t>();
  settings.Link.SlaveAddress = in.ConsumeBool() ? 1 : in.ConsumeIntegralInRange<std::int32_t>(-1, 256);
  settings.Poll.TableType = in.ConsumeIntegralInRange<std::int32_t>(0, 3);
  settings.Poll.StartRegister = in.ConsumeIntegralInRange<std::int32_t>(-20, 10020);
  settings.Poll.RegisterCount = in.ConsumeIntegralInRange<std::int32_t>(-5, 300);
  settings.Poll.RegisterWidth = in.ConsumeBool() ? 16 : 32;
  state.ChunkStart = in.ConsumeIntegralInRange<std::int32_t>(-20, 10020);
  state.ChunkSize = in.ConsumeIntegralInRange<std::int32_t>(-5, 130);
  state.ReplyDeadline = in.ConsumeIntegral<std::int32_t>();
  state.TransactionId = in.ConsumeIntegral<std::uint16_t>();

  TMaster master(settings, state, image, [](const std::string&) {}, [&tick] { return tick; });
  master.SetMbapSource([] { return true; });
  state.WriteActive = in.ConsumeBool() ? 1 : 0;
  state.WriteAddress = in.ConsumeIntegral<std::int32_t>();
  state.WriteCount = 1;
  master.MasterPollPLC();

  while (in.remaining_bytes() > 0) {
    const std::uint8_t op = in.ConsumeIntegral<std::uint8_t>();
    if (op == 0xFF) {  // the next request, whatever is half collected
      state.WriteActive = in.ConsumeBool() ? 1 : 0;
      master.MasterPollPLC();
      continue;
    }
    if (op == 0xFE) {
      tick += in.ConsumeIntegral<std::uint16_t>();
      continue;
    }
    std::string piece = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 600));
    // Half of the pieces start with the awaited header, so replies get past it.
    if ((op & 2) != 0 && piece.size() >= 2) {
      piece[0] = static_cast<char>(state.TransactionId >> 8);
      piece[1] = static_cast<char>(state.TransactionId & 0xFF);
    }
    std::int32_t n = static_cast<std::int32_t>(piece.size());
    if (op >= 0xF0) n = in.ConsumeIntegral<std::int32_t>();
    const std::int32_t r = master.MasterCheckTCP(n, piece);
    fuzz::Check(fuzz::ValidResult(r));
    fuzz::Check(state.ByteCount >= 0 && state.ByteCount <= 261);
    fuzz::Check(state.Frame.size() <= 261);
    fuzz::Check(state.MbapSkip >= 0 && state.MbapSkip <= 253);
  }
  return 0;
}
