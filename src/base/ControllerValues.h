#pragma once
// The controller's values as last decoded from its replies and scaled by
// their factors. The poll cycle fills them; the live chart, the data log and
// the trend export read them.

namespace korvane {

struct ControllerValues {
  float PV = 0;
  float SP = 0;
  float Out = 0;
  float Kp = 0;
  float Ki = 0;
  float Kd = 0;
  float Hys = 0;  // the hysteresis of the on/off mode; not drawn, logged or shown
};

}  // namespace korvane
