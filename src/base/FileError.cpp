#include "base/FileError.h"

#include <cerrno>

namespace korvane {

std::string FileErrorMessage(int fileError) {
  switch (fileError) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(fileError);
  }
}

int FileErrorFromErrno(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return 2;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case ELOOP:
      return 3;
    case EMFILE:
    case ENFILE:
      return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EEXIST:
      return 5;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
      return 101;
    default:
      return 1000 + e;
  }
}

}  // namespace korvane
