#pragma once
// The configuration file: 25 lines of 8-bit text with CR LF line ends, one
// value per line, no names:
//   1 PortNumber  2 Baud  3 DataBits  4 ParityLetter  5 StopBitCount
//   6 PollTime  7 ControllerType
//   8/9 AddrSP/FactorSP  10/11 AddrPV/FactorPV  12/13 AddrOut/FactorOut
//   14/15 AddrHys/FactorHys  16/17 AddrKp/FactorKp  18/19 AddrKi/FactorKi
//   20/21 AddrKd/FactorKd
//   22..25 the main window's setpoint, Kp, Ki and Kd entry boxes
// then, when a value lies otherwise than today's reading or the line has
// several controllers, how each value lies, in the file's order SP, PV,
// Out, Hys, Kp, Ki, Kd, one line each as a preset's register line has it
// after the name:
//   26..32 FORMAT, TABLE[, WRITE ADDRESS]
// and, only with several controllers, the list of them in poll order:
//   33 "Controllers, N" (N 2..247)
//   34 "ADDRESS, NAME" of the first controller (its map is lines 7..21, 26..32)
//   then for each other controller 23 lines: "ADDRESS, NAME", its type, its
//   14 address and factor lines and its 7 layout lines, in the order above.
// A file of 25 lines reads every value as 16 bits in the holding registers
// (today's reading); a reader of 25 (or 32) lines passes over lines 26 (or
// 33) onward, so it reads the first controller of a longer file unchanged.
// A file of one controller keeps no name: it loads as "Controller 1".
// Floats are written in FormatGeneral15, factors widened from 32 bits.

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/Settings.h"

namespace korvane {

inline constexpr std::size_t kConfigLines = 25;
inline constexpr std::size_t kLayoutLines = 7;
// A configuration file is a few hundred bytes; reading stops here.
inline constexpr std::size_t kMaxConfigBytes = 64 * 1024;

// A list too long for one configuration file: reading stops at
// kMaxConfigBytes, so a longer file would not load back whole.
class ConfigSizeError : public std::runtime_error {
 public:
  explicit ConfigSizeError(std::size_t bytes)
      : std::runtime_error("The configuration needs " + std::to_string(bytes) + " bytes; a configuration file holds " +
                           std::to_string(kMaxConfigBytes) + " at most") {}
};

// Texts of the main window's setpoint, Kp, Ki and Kd entry boxes.
using EntryTexts = std::array<std::string, 4>;

// Whether every value of the map lies as a 25-line file reads it: today's
// format and table, and writes going where they would without a named write
// address (the default map's setpoint to 25 included).
bool ReadsAsToday(const RegisterMap& map);

// The whole file: 25 lines when the map reads as today and there is one
// controller, 32 when the map lies otherwise, and 32 lines and the list
// with several controllers. Throws ConvertError ("'<text>' is not a valid
// floating point value") when an entry box does not hold a number, and
// ConfigSizeError when the file would be longer than kMaxConfigBytes.
std::string ComposeConfiguration(const Settings& settings, const EntryTexts& entries,
                                 char decimalSeparator);

// Applies the lines of a file: lenient integers and floats, texts as read,
// missing lines counting as empty; then the controller list as far as it
// reads cleanly (ConfigFile.cpp, ApplyControllerList). Returns the raw texts
// of lines 22 to 25.
EntryTexts ApplyConfiguration(const std::vector<std::string>& lines, Settings& settings);

// Checks the entry boxes (and the size) first, then writes the file through a temporary
// file in the same folder that replaces the target only once it is whole, so
// a refused box or a failing write never costs the file that was there.
// Throws ConvertError, ConfigSizeError or FileError.
void SaveConfiguration(const std::string& path, const Settings& settings, const EntryTexts& entries,
                       char decimalSeparator);

// The bytes of a file (the first kMaxConfigBytes of them) applied to
// `settings`; returns the texts for the four entry boxes. Never fails: any
// bytes are a configuration; a layout line that is missing or does not read
// leaves its value at today's reading; a list line without its line end is
// left out (it may be cut short).
EntryTexts ParseConfiguration(std::string_view bytes, Settings& settings);

// Reads the file (at most kMaxConfigBytes) and parses it into `settings`.
// Throws FileError; `settings` is untouched then.
EntryTexts LoadConfiguration(const std::string& path, Settings& settings);

}  // namespace korvane
