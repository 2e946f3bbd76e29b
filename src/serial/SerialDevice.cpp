#include "serial/SerialDevice.h"

namespace korvane {

InputWait SerialDevice::WaitForInput(std::chrono::microseconds, std::chrono::microseconds) {
  return InputWait::NotSupported;
}

}  // namespace korvane
