// File-error numbers, their messages and the errno mapping.
#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "base/FileError.h"

namespace korvane {
namespace {

TEST(FileErrorMessage, FixedNumbers) {
  EXPECT_EQ(FileErrorMessage(2), "File not found");
  EXPECT_EQ(FileErrorMessage(3), "Invalid filename");
  EXPECT_EQ(FileErrorMessage(4), "Too many open files");
  EXPECT_EQ(FileErrorMessage(5), "File access denied");
  EXPECT_EQ(FileErrorMessage(100), "Read beyond end of file");
  EXPECT_EQ(FileErrorMessage(101), "Disk full");
  EXPECT_EQ(FileErrorMessage(106), "Invalid numeric input");
}

TEST(FileErrorMessage, AnyOtherNumberIsAnIoError) {
  EXPECT_EQ(FileErrorMessage(0), "I/O error 0");
  EXPECT_EQ(FileErrorMessage(1), "I/O error 1");
  EXPECT_EQ(FileErrorMessage(103), "I/O error 103");
  EXPECT_EQ(FileErrorMessage(-7), "I/O error -7");
}

TEST(FileErrorFromErrno, Mapping) {
  std::vector<std::pair<int, int>> cases = {
      {ENOENT, 2}, {ENOTDIR, 2}, {ENAMETOOLONG, 3}, {EINVAL, 3}, {EILSEQ, 3},  {ELOOP, 3},   {EMFILE, 4},
      {ENFILE, 4}, {EACCES, 5},  {EPERM, 5},        {EROFS, 5},  {EISDIR, 5},  {ETXTBSY, 5}, {EEXIST, 5},
      {ENOSPC, 101}, {EFBIG, 101}};
#ifdef EDQUOT  // a disk quota exists only where the C library names it
  cases.emplace_back(EDQUOT, 101);
#endif
  for (const auto& [errnoValue, number] : cases) EXPECT_EQ(FileErrorFromErrno(errnoValue), number) << errnoValue;
}

TEST(FileErrorFromErrno, OtherErrnoValuesStayApartFromTheFixedNumbers) {
  EXPECT_EQ(FileErrorFromErrno(EIO), 1000 + EIO);
  EXPECT_EQ(FileErrorMessage(FileErrorFromErrno(EIO)), "I/O error " + std::to_string(1000 + EIO));
  EXPECT_NE(FileErrorMessage(FileErrorFromErrno(EIO)), FileErrorMessage(5));
}

TEST(FileError, CarriesCodeAndMessage) {
  FileError e = FileError::FromErrno(ENOENT);
  EXPECT_EQ(e.code(), 2);
  EXPECT_STREQ(e.what(), "File not found");
  try {
    throw FileError(101);
  } catch (const std::runtime_error& err) {
    EXPECT_STREQ(err.what(), "Disk full");
  }
}

}  // namespace
}  // namespace korvane
