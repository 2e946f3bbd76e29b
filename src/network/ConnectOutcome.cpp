#include "network/ConnectOutcome.h"

#include <map>
#include <mutex>
#include <utility>

namespace korvane {

namespace {

struct Outcomes {
  std::mutex mutex;
  std::map<std::string, ConnectOutcome> byPort;
};

Outcomes& All() {
  // Never destroyed: a connecting thread left to finish on its own may
  // record after static destruction has begun.
  static Outcomes* outcomes = new Outcomes;
  return *outcomes;
}

}  // namespace

void RecordConnectOutcome(const std::string& portName, ConnectOutcome outcome) {
  Outcomes& all = All();
  std::lock_guard lock(all.mutex);
  all.byPort[portName] = std::move(outcome);
}

ConnectOutcome LastConnectOutcome(const std::string& portName) {
  Outcomes& all = All();
  std::lock_guard lock(all.mutex);
  auto it = all.byPort.find(portName);
  return it == all.byPort.end() ? ConnectOutcome{} : it->second;
}

}  // namespace korvane
