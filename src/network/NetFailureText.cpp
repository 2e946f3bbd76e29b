#include "network/NetSocket.h"

namespace korvane::net {

std::string FailureText(Failure failure, int error) {
  switch (failure) {
    case Failure::None: return {};
    case Failure::Refused: return "Connection refused";
    case Failure::NoRoute: return "No route to host";
    case Failure::TimedOut: return "Timed out";
    case Failure::NameNotFound: return "Name not found";
    case Failure::Other: break;
  }
  return ErrorText(error);
}

}  // namespace korvane::net
