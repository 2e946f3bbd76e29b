#include "files/DataLog.h"

#include <memory>

#include "base/Convert.h"
#include "files/FileNumbers.h"
#include "files/TextFileSink.h"

namespace korvane {

std::string ControllerLogPath(const std::string& path, const std::string& name) {
  std::string safe = name;
  for (char& c : safe) {
    if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        static_cast<unsigned char>(c) < 32) {
      c = '_';
    }
  }
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  if (!extension) return path + " - " + safe;
  return path.substr(0, dot) + " - " + safe + path.substr(dot);
}

namespace {

// The counters wrap like the 32-bit counts they are, without overflow.
std::int32_t Increment(std::int32_t n) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n) + 1u);
}

// The export is formatted into blocks of this size, each written with one
// call: a million samples take about 50 writes.
constexpr std::size_t kExportBlock = std::size_t{1} << 20;

}  // namespace

bool DataLog::ChkLogClick(bool ticked) {
  if (ticked && LogFileName.empty()) {
    LogEnabled = false;
    return false;
  }
  LogEnabled = ticked;
  return true;
}

std::optional<std::string> DataLog::Step(std::string_view periodText, const ControllerValues& values, char separator) {
  if (!LogEnabled) {
    LogPollCount = 0;
    return std::nullopt;
  }
  LogEvery = LenientInt(periodText);
  LogTick = Increment(LogTick);
  LogPollCount = Increment(LogPollCount);
  if (LogTick < LogEvery) return std::nullopt;
  TextFileSink file(LogFileName, TextFileSink::Mode::AppendExisting);
  file.Write(LogDataLine(LogPollCount, values, separator));
  if (auto error = file.Close()) return error;
  LogTick = 0;
  return std::nullopt;
}

std::optional<std::string> DataLog::OpenTarget(const std::string& path, std::string_view heading,
                                               const ControllerValues& values, char separator) {
  LogFileName = path;
  TextFileSink file(path, TextFileSink::Mode::CreateOrEmpty);
  file.Write(LogHeading(heading, values, separator));
  return file.Close();
}

std::optional<std::string> DataLog::ExportTrend(const std::string& path, std::string_view heading,
                                                const ControllerValues& values, const PointList& points,
                                                char separator) {
  LogFileName = path;
  TextFileSink file(path, TextFileSink::Mode::CreateOrEmpty);
  if (!file.Write(TrendHeading(heading, values, separator))) return file.Close();
  const char sep = FileDecimalSeparator(separator);
  auto block = std::make_unique_for_overwrite<char[]>(kExportBlock + kMaxTrendLineChars);
  char* const begin = block.get();
  char* end = begin;
  bool ok = true;
  points.ForEachOldestFirst([&](const ChartPoint& point) {
    if (!ok) return;
    end = AppendTrendLine(end, point, sep);
    if (static_cast<std::size_t>(end - begin) >= kExportBlock) {
      ok = file.Write(std::string_view(begin, static_cast<std::size_t>(end - begin)));
      end = begin;
    }
  });
  if (ok && end != begin) file.Write(std::string_view(begin, static_cast<std::size_t>(end - begin)));
  return file.Close();
}

}  // namespace korvane
