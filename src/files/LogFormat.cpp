#include "files/LogFormat.h"

#include <charconv>

#include "files/FileNumbers.h"

namespace korvane {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AddFixed(std::string& out, float value, char separator) {
  char buf[kMaxFixed83Chars];
  out.append(buf, AppendFixed83(buf, value, separator));
}

char* AddText(char* out, std::string_view text) noexcept {
  for (char c : text) *out++ = c;
  return out;
}

}  // namespace

std::string LogHeading(std::string_view heading, const ControllerValues& values, char separator) {
  const char sep = FileDecimalSeparator(separator);
  std::string text(heading);
  text += kLineEnd;
  text += "K=";
  AddFixed(text, values.Kp, sep);
  text += " Ki=";
  AddFixed(text, values.Ki, sep);
  text += " Kd=";
  AddFixed(text, values.Kd, sep);
  text += kLineEnd;
  text += "Secs, Setpoint, PV, Output";
  text += kLineEnd;
  return text;
}

std::string LogDataLine(std::int32_t pollCount, const ControllerValues& values, char separator) {
  const char sep = FileDecimalSeparator(separator);
  char count[16];
  std::string text(count, std::to_chars(count, count + sizeof count, pollCount).ptr);
  for (float value : {values.SP, values.PV, values.Out}) {
    text += ',';
    AddFixed(text, value, sep);
  }
  text += kLineEnd;
  return text;
}

std::string TrendHeading(std::string_view heading, const ControllerValues& values, char separator) {
  const char sep = FileDecimalSeparator(separator);
  std::string text(heading);
  text += kLineEnd;
  text += "Kp, Ki, Kd";
  text += kLineEnd;
  AddFixed(text, values.Kp, sep);
  text += ", ";
  AddFixed(text, values.Ki, sep);
  text += ", ";
  AddFixed(text, values.Kd, sep);
  text += kLineEnd;
  text += "Time, Setpoint, PV, Output";
  text += kLineEnd;
  return text;
}

char* AppendTrendLine(char* out, const ChartPoint& point, char separator) noexcept {
  out = AppendFixed83(out, point.Time, separator);
  out = AddText(out, ", ");
  out = AppendFixed83(out, point.Setpoint, separator);
  out = AddText(out, ", ");
  out = AppendFixed83(out, point.PV, separator);
  out = AddText(out, ", ");
  out = AppendFixed83(out, point.Output, separator);
  return AddText(out, kLineEnd);
}

}  // namespace korvane
