// Replacing a file: a rename that fails is reported and costs nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/FileError.h"
#include "base/SafeWrite.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

TEST(SafeWrite, AFolderInThePlaceOfTheTargetFailsTheRenameAndLeavesNothingBehind) {
  test::TempDir dir;
  fs::create_directory(dir.File("cfg"));
  dir.Write("cfg/inside", "kept");
  try {
    ReplaceFileContents(dir.File("cfg"), "new contents");
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "File access denied");
  }
  EXPECT_EQ(dir.Read("cfg/inside"), "kept");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"cfg"});
}

}  // namespace
}  // namespace korvane
