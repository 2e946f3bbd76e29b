#pragma once
// The system's number settings as the GUI-free core takes them.

namespace korvane {

// The system's decimal separator as one 8-bit character ("." when it is
// anything else, such as a multi-byte symbol).
char SystemDecimalSeparator();

}  // namespace korvane
