#include "ComClaim.h"

namespace korvane::sim {

bool ComClaim::Claim(const std::string& name, bool orFree, std::string* error) {
  int first = std::stoi(name.substr(3));
  for (int n = first; n <= 99; ++n) {
    std::string candidate = "COM" + std::to_string(n);
    if (map_.IsMapped(candidate)) {
      if (!orFree) {
        if (error) {
          *error = candidate + " is already mapped to " + map_.DevicePath(candidate) + " (" +
                   map_.Directory() + "/" + candidate +
                   "); leaving it alone. Use --com with another name, or --free-com.";
        }
        return false;
      }
      continue;
    }
    std::string why;
    if (map_.Add(candidate, device_, &why)) {
      name_ = candidate;
      return true;
    }
    if (!orFree) {
      if (error) *error = "cannot map " + candidate + ": " + why;
      return false;
    }
  }
  if (error) *error = "no free COM name from " + name + " to COM99";
  return false;
}

void ComClaim::Release() {
  if (!name_.empty()) map_.Remove(name_, device_);
  name_.clear();
}

}  // namespace korvane::sim
