#include "ports/PortOpenReason.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace korvane {
namespace {

// The holders named in the label; more would not fit beside the port box.
constexpr std::size_t kMaxHolders = 3;

PortOpenReason ReasonOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:  // a serial device node without its UART
      return PortOpenReason::NoDevice;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortOpenReason::PermissionDenied;
    case EBUSY:  // held with TIOCEXCL
      return PortOpenReason::Busy;
    case EISDIR:
      return PortOpenReason::NotTerminal;
    default:
      return PortOpenReason::Other;
  }
}

std::string GroupOf(const std::string& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0 || st.st_gid == 0) return {};
  char buffer[1024];
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return {};
  return found->gr_name;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string ProcessName(const std::filesystem::path& processDir) {
  std::ifstream in(processDir / "comm");
  std::string name;
  std::getline(in, name);
  return name.empty() ? std::string("?") : name;
}

// Serial devices belong to the group dialout on Debian; a device of
// another group (not root's) names that one.
std::string GroupToJoin(const PortOpenDiagnosis& d) { return d.Group.empty() ? std::string("dialout") : d.Group; }

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

void AddHolders(PortOpenDiagnosis& d, const std::string& device) {
  d.Holders = ProcessesHolding(device);
  if (d.Holders.size() > kMaxHolders) d.Holders.resize(kMaxHolders);
}

}  // namespace

PortOpenDiagnosis DiagnosePortOpen(const std::string& device) {
  PortOpenDiagnosis d;
  if (device.empty()) {
    d.Reason = PortOpenReason::NoDevice;
    d.Error = ENOENT;
    return d;
  }
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    d.Error = errno;
    d.Reason = ReasonOfErrno(d.Error);
    if (d.Reason == PortOpenReason::PermissionDenied) d.Group = GroupOf(device);
    if (d.Reason == PortOpenReason::Busy) AddHolders(d, device);
    return d;
  }
  if (::isatty(fd) == 0) {
    d.Error = errno;
    d.Reason = PortOpenReason::NotTerminal;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Another instance of this program (or any program taking the same
    // lock) holds it; root passes TIOCEXCL and meets the lock instead.
    d.Error = errno;
    d.Reason = d.Error == EWOULDBLOCK ? PortOpenReason::Busy : PortOpenReason::Other;
  }
  ::close(fd);  // drops the probe's lock too
  if (d.Reason == PortOpenReason::Busy) AddHolders(d, device);
  return d;
}

std::vector<std::string> ProcessesHolding(const std::string& device, const std::string& procRoot) {
  std::vector<std::string> holders;
  struct stat target {};
  if (::stat(device.c_str(), &target) != 0) return holders;
  const std::string self = std::to_string(::getpid());
  std::error_code ec;
  for (std::filesystem::directory_iterator it(procRoot, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    std::error_code fdEc;
    for (std::filesystem::directory_iterator fds(it->path() / "fd", fdEc), fdEnd; !fdEc && fds != fdEnd;
         fds.increment(fdEc)) {
      struct stat st {};
      if (::stat(fds->path().c_str(), &st) == 0 && SameFile(st, target)) {
        holders.push_back(ProcessName(it->path()) + " (pid " + pid + ")");
        break;
      }
    }
  }
  return holders;
}

std::string PortOpenReasonText(const PortOpenDiagnosis& d) {
  switch (d.Reason) {
    case PortOpenReason::Opens:
      return "It opens now: line settings refused?";
    case PortOpenReason::NoDevice:
      return "No such device";
    case PortOpenReason::PermissionDenied:
      return "Permission denied: join the " + GroupToJoin(d) + " group";
    case PortOpenReason::Busy:
      return d.Holders.empty() ? std::string("Held by another program")
                               : "Held by another program: " + Joined(d.Holders);
    case PortOpenReason::NotTerminal:
      return "Not a terminal";
    case PortOpenReason::Other:
      break;
  }
  return std::string("Cannot open: ") + std::strerror(d.Error);
}

std::string PortOpenHint(const PortOpenDiagnosis& d) {
  switch (d.Reason) {
    case PortOpenReason::Opens:
      return "The device opens now; it may not take these settings (baud rate, data bits, parity, stop bits).";
    case PortOpenReason::NoDevice:
      return "Plug the adapter in, or point the COM link at the right device.";
    case PortOpenReason::PermissionDenied:
      return "Join the " + GroupToJoin(d) + " group: sudo adduser $USER " + GroupToJoin(d) +
             ", then log out and in again.";
    case PortOpenReason::Busy:
      return "Close " + (d.Holders.empty() ? std::string("the program that uses it") : Joined(d.Holders)) +
             ", then press OK again.";
    case PortOpenReason::NotTerminal:
      return "This is no serial device: point the COM link at a terminal device such as /dev/ttyUSB0.";
    case PortOpenReason::Other:
      break;
  }
  return "The system refused to open the device.";
}

}  // namespace korvane
