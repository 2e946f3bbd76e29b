// The list of a line's controllers: what OK refuses, naming the row, and
// the address Add picks.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/ControllerList.h"
#include "support/TempDir.h"

namespace korvane {
namespace {

using test::TempDir;

TEST(ControllerListCheck, FirstProblemNamesTheRow) {
  TempDir dir;
  dir.Write("A.Korvane", "PV, 5, a, b, 0.5\r\n");
  dir.Write("Bad.Korvane", "PV register, f64\r\n");
  const std::vector<std::string> presets{"A", "Bad", "Gone"};
  const struct {
    const char* what;
    std::vector<ControllerRow> rows;
    std::optional<std::string> problem;
  } cases[] = {
      {"a good list", {{"Boiler", 1, "Mine"}, {"Zone 2", 2, "A"}, {" Zone 3 ", 247, "Other"}}, std::nullopt},
      {"one row, its preset not checked", {{"Controller 1", 17, ""}}, std::nullopt},
      {"repeated address",
       {{"Zone 1", 1, "A"}, {"Zone 2", 2, "A"}, {"Zone 3", 2, "A"}},
       "Row 3 (Zone 3): address 2 is already used by row 2 (Zone 2)"},
      {"address 0", {{"Zone 1", 0, "A"}}, "Row 1 (Zone 1): address 0 is not in 1..247"},
      {"address 248", {{"Zone 1", 1, "A"}, {"Zone 2", 248, "A"}}, "Row 2 (Zone 2): address 248 is not in 1..247"},
      {"empty name", {{"Zone 1", 1, "A"}, {"", 2, "A"}}, "Row 2: the name is empty"},
      {"blank name", {{"Zone 1", 1, "A"}, {" \t ", 2, "A"}}, "Row 2: the name is empty"},
      {"repeated name, blanks trimmed",
       {{"Zone 1", 1, "A"}, {"Zone 1 ", 2, "A"}},
       "Row 2 (Zone 1): the name is already used by row 1"},
      {"name with a line break", {{"Zone\n1", 1, "A"}}, "Row 1 (Zone\n1): the name holds a line break"},
      {"preset not in the list",
       {{"Zone 1", 1, "A"}, {"Zone 2", 2, "Mine"}},
       "Row 2 (Zone 2): preset \"Mine\" is not in the preset list"},
      {"preset with a bad register line",
       {{"Zone 1", 1, "A"}, {"Zone 2", 2, "Bad"}},
       "Row 2 (Zone 2): preset \"Bad\" cannot be used: " + dir.Path() + "/Bad.Korvane" +
           ": line 1, FORMAT: \"f64\" is not s16, u16, s32, u32 or f32 (a 32-bit one may end in -ABCD, -CDAB, "
           "-BADC or -DCBA)"},
      {"listed preset whose file is gone",
       {{"Zone 1", 1, "A"}, {"Zone 2", 2, "Gone"}},
       "Row 2 (Zone 2): preset \"Gone\" cannot be used: File not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CheckControllerList(c.rows, presets, {dir.Path()}), c.problem);
  }
}

TEST(ControllerListAdd, NextFreeAddressAfterTheHighest) {
  const struct {
    std::vector<std::int32_t> used;
    std::int32_t next;
  } cases[] = {
      {{1}, 2}, {{1, 2, 3}, 4}, {{5, 1}, 6}, {{247}, 1}, {{246, 247, 1}, 2}, {{0, 300}, 1},
  };
  for (const auto& c : cases) {
    std::vector<ControllerRow> rows;
    for (std::int32_t address : c.used) rows.push_back({"x", address, "A"});
    EXPECT_EQ(NextFreeAddress(rows), c.next) << ::testing::PrintToString(c.used);
  }
  std::vector<ControllerRow> full;
  for (std::int32_t a = 1; a <= 247; ++a) full.push_back({"x", a, "A"});
  EXPECT_EQ(NextFreeAddress(full), 0);
}

}  // namespace
}  // namespace korvane
