// File-error numbers, their messages and the errno mapping.
#include <gtest/gtest.h>

#include <cerrno>

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
  EXPECT_EQ(FileErrorFromErrno(ENOENT), 2);
  EXPECT_EQ(FileErrorFromErrno(ENOTDIR), 2);
  EXPECT_EQ(FileErrorFromErrno(ENAMETOOLONG), 3);
  EXPECT_EQ(FileErrorFromErrno(EINVAL), 3);
  EXPECT_EQ(FileErrorFromErrno(EMFILE), 4);
  EXPECT_EQ(FileErrorFromErrno(ENFILE), 4);
  EXPECT_EQ(FileErrorFromErrno(EACCES), 5);
  EXPECT_EQ(FileErrorFromErrno(EPERM), 5);
  EXPECT_EQ(FileErrorFromErrno(EROFS), 5);
  EXPECT_EQ(FileErrorFromErrno(EISDIR), 5);
  EXPECT_EQ(FileErrorFromErrno(ENOSPC), 101);
  EXPECT_EQ(FileErrorFromErrno(EFBIG), 101);
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
