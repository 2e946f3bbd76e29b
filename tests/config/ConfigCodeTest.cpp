// The configuration dialog's logic through a plain view: what it shows, the
// preset list, and OK in its order with its silent range rules.

#include <filesystem>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "support/TempDir.h"
#include "config/ConfigCode.h"
#include "master/MasterState.h"

namespace korvane {
namespace {

using test::TempDir;

class FakeView : public ConfigFormView {
 public:
  FakeView() {
    // The map boxes' design-time texts.
    map.Addr = {"1", "0", "2", "17", "13", "11", "12"};
    map.Factor = {"0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1"};
    checks[ConfigCheck::Rtu] = true;
  }
  std::string BoxText(ConfigBox box) const override {
    auto it = texts.find(box);
    return it == texts.end() ? "" : it->second;
  }
  void SetBoxText(ConfigBox box, const std::string& text) override { texts[box] = text; }
  void SetListItems(ConfigBox box, const std::vector<std::string>& items) override { lists[box] = items; }
  void AddListItem(ConfigBox box, const std::string& item) override { lists[box].push_back(item); }
  std::vector<std::string> ListItems(ConfigBox box) const override {
    auto it = lists.find(box);
    return it == lists.end() ? std::vector<std::string>{} : it->second;
  }
  void SelectListItem(ConfigBox box, int index) override {
    selected[box] = index;
    texts[box] = lists[box].at(static_cast<std::size_t>(index));
  }
  bool Checked(ConfigCheck check) const override {
    auto it = checks.find(check);
    return it != checks.end() && it->second;
  }
  void SetChecked(ConfigCheck check, bool on) override { checks[check] = on; }
  MapTexts MapBoxes() const override { return map; }
  void SetMapBoxes(const MapTexts& t) override { map = t; }
  std::vector<ControllerRow> ControllerRows() const override { return rows; }
  void SetControllerRows(const std::vector<ControllerRow>& r) override { rows = r; }
  void HideForm() override { hidden = true; }
  void ShowError(const std::string& message) override { errors.push_back(message); }

  std::map<ConfigBox, std::string> texts;
  std::map<ConfigBox, std::vector<std::string>> lists;
  std::map<ConfigBox, int> selected;
  std::map<ConfigCheck, bool> checks;
  MapTexts map;
  std::vector<ControllerRow> rows;
  bool hidden = false;
  std::vector<std::string> errors;
};

class ConfigCodeTest : public ::testing::Test {
 protected:
  ConfigContext Context() {
    return ConfigContext{
        settings,
        [this](std::int32_t slot) { master.ImageSlot = slot; },
        [this] { return portActive; },
        [this] {
          calls.push_back("CloseComm");
          if (settings.Link.PortNumber > 0) {
            portActive = false;
            settings.Link.PortNumber = 0;
          }
        },
        [this](std::int32_t port, std::int32_t in, std::int32_t out, std::int32_t baud, std::int32_t data,
               std::int32_t parity, std::int32_t stop) {
          calls.push_back("OpenComm " + std::to_string(port) + " " + std::to_string(in) + " " +
                          std::to_string(out) + " " + std::to_string(baud) + " " + std::to_string(data) + " " +
                          std::to_string(parity) + " " + std::to_string(stop));
        },
        [this] {
          calls.push_back("PortActivate");
          if (refuseOpen) throw std::runtime_error("Cannot connect to COM" + std::to_string(settings.Link.PortNumber) + ".");
          portActive = true;
        },
        [this](int ms) { calls.push_back("Interval " + std::to_string(ms)); },
        [this] { calls.push_back("DisplayRegs"); },
        {dir.Path()}};
  }
  ConfigCode& Create() {
    code = std::make_unique<ConfigCode>(view, Context());
    code->FormCreate();
    return *code;
  }

  TempDir dir;
  Settings settings;
  MasterState master;
  bool portActive = false;
  bool refuseOpen = false;
  std::vector<std::string> calls;
  FakeView view;
  std::unique_ptr<ConfigCode> code;
};

MapTexts Texts(std::array<std::string, 7> addr, std::array<std::string, 7> factor) {
  MapTexts t;
  t.Addr = std::move(addr);
  t.Factor = std::move(factor);
  return t;
}

// ---- Creation and showing ------------------------------------------------

TEST_F(ConfigCodeTest, DefaultsWithoutPresetFiles) {
  Create();
  EXPECT_EQ(view.BoxText(ConfigBox::Port), "1");
  EXPECT_EQ(view.BoxText(ConfigBox::Baud), "9600");
  EXPECT_EQ(view.BoxText(ConfigBox::DataBits), "8");
  EXPECT_EQ(view.BoxText(ConfigBox::Parity), "N");
  EXPECT_EQ(view.BoxText(ConfigBox::StopBits), "1");
  EXPECT_EQ(view.BoxText(ConfigBox::PollTime), "1");
  EXPECT_EQ(view.BoxText(ConfigBox::ResponseTime), "400");
  EXPECT_EQ(view.BoxText(ConfigBox::Address), "1");
  EXPECT_TRUE(view.Checked(ConfigCheck::Rtu));
  EXPECT_FALSE(view.Checked(ConfigCheck::PortActive));
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "");
  EXPECT_EQ(view.ListItems(ConfigBox::Type), std::vector<std::string>{"Other"});
  EXPECT_EQ(view.map, Texts({"1", "0", "2", "17", "13", "11", "12"},
                            {"1.000", "1.000", "0.100", "1.000", "0.100", "0.010", "1.000"}));
  EXPECT_EQ(view.ListItems(ConfigBox::Address).size(), 243u);
  EXPECT_EQ(view.ListItems(ConfigBox::Address).back(), "243");
  EXPECT_EQ(view.ListItems(ConfigBox::Port).size(), 10u);
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(ConfigCodeTest, PresetWithOneLineSelectsItsTypeAndPrefillsTheRest) {
  dir.Write("Novus N1100.Korvane", "PV, 5, a, b, 0.5");
  Create();
  EXPECT_EQ(view.ListItems(ConfigBox::Type), (std::vector<std::string>{"Novus N1100", "Other"}));
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "Novus N1100");
  EXPECT_EQ(view.map, Texts({"5", "0", "2", "17", "13", "11", "12"}, {"0.5", "1", "0.1", "0.01", "1", "0.1", "1"}));
}

TEST_F(ConfigCodeTest, PresetsWithoutTheStoredTypeLeaveTheInitialTexts) {
  dir.Write("Other Maker.Korvane", "PV, 5, a, b, 0.5");
  Create();
  EXPECT_EQ(view.map, FakeView().map);
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "");
  // OK stores those texts.
  code->CmdExitClick();
  EXPECT_EQ(settings.Map.AddrPV, 1);
  EXPECT_FLOAT_EQ(settings.Map.FactorPV, 0.1f);
  EXPECT_EQ(settings.Map.ControllerType, "");
}

TEST_F(ConfigCodeTest, StoredTypeOtherShowsTheStoredMap) {
  settings.Map.ControllerType = "Other";
  settings.Map.AddrKd = 40;
  settings.Map.FactorPV = 2.5f;
  Create();
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "Other");
  EXPECT_EQ(view.map.Addr[6], "40");
  EXPECT_EQ(view.map.Factor[0], "   2.500");
  EXPECT_EQ(view.map.Factor[1], " 1.000");
}

TEST_F(ConfigCodeTest, UnreadablePresetShowsFileErrorAndKeepsThePrefill) {
  std::filesystem::create_directory(dir.File("Novus N1100.Korvane"));
  dir.Write("B.Korvane", "");
  Create();
  view.SetBoxText(ConfigBox::Type, "Gone");
  code->CboTypeChange();
  ASSERT_EQ(view.errors, std::vector<std::string>{"File not found"});
  EXPECT_EQ(view.map, PresetPrefill());
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "Gone");
  EXPECT_TRUE(view.selected.find(ConfigBox::Type) == view.selected.end());
}

TEST_F(ConfigCodeTest, PickingATypeReadsItsFileAgain) {
  dir.Write("A.Korvane", "PV, 5, a, b, 0.5");
  Create();
  dir.Write("A.Korvane", "PV, 6, a, b, 0.6");
  view.SelectListItem(ConfigBox::Type, 0);
  code->CboTypeChange();
  EXPECT_EQ(view.map.Addr[0], "6");
  view.SelectListItem(ConfigBox::Type, 1);
  code->CboTypeChange();  // "Other": the stored map
  EXPECT_EQ(view.map.Addr[0], "1");
  EXPECT_EQ(view.map.Factor[0], "   1.000");
}

TEST_F(ConfigCodeTest, KeyInAMapBoxSwitchesToOtherWithoutRefilling) {
  dir.Write("Novus N1100.Korvane", "PV, 5, a, b, 0.5");
  Create();
  view.map.Addr[0] = "57";
  code->MapBoxKeyDown();
  EXPECT_EQ(settings.Map.ControllerType, "Other");
  EXPECT_EQ(view.BoxText(ConfigBox::Type), "Other");
  EXPECT_EQ(view.map.Addr[0], "57");
}

TEST_F(ConfigCodeTest, ActivationRefillsFromSettings) {
  dir.Write("Novus N1100.Korvane", "PV, 5, a, b, 0.5");
  Create();
  view.SetBoxText(ConfigBox::Baud, "19200");
  view.map.Addr[0] = "99";
  settings.Link.SlaveAddress = 17;
  code->FormActivate();
  EXPECT_EQ(view.BoxText(ConfigBox::Baud), "9600");
  EXPECT_EQ(view.BoxText(ConfigBox::Address), "17");
  EXPECT_EQ(view.map.Addr[0], "5");
}

TEST_F(ConfigCodeTest, ActivationWithEmptyTypeLeavesTheMapBoxes) {
  dir.Write("X.Korvane", "PV, 5, a, b, 0.5");
  settings.Map.ControllerType = "";
  Create();
  view.map.Addr[0] = "99";
  code->FormActivate();
  EXPECT_EQ(view.map.Addr[0], "99");
}

TEST_F(ConfigCodeTest, SingleRegisterBoxIsNotRefilled) {
  Create();
  view.SetChecked(ConfigCheck::SingleReg, true);
  code->FormActivate();
  EXPECT_TRUE(view.Checked(ConfigCheck::SingleReg));
}

// ---- OK ------------------------------------------------------------------

TEST_F(ConfigCodeTest, OkRunsThePortStepsInOrderAndAppliesEverything) {
  Create();
  view.SetBoxText(ConfigBox::Port, "3");
  view.SetBoxText(ConfigBox::Baud, "19200");
  view.SetBoxText(ConfigBox::Parity, "E");
  view.SetBoxText(ConfigBox::StopBits, "2");
  view.SetBoxText(ConfigBox::PollTime, "5");
  view.SetBoxText(ConfigBox::ResponseTime, "2000");
  view.SetBoxText(ConfigBox::Address, "17");
  view.SetChecked(ConfigCheck::PortActive, true);
  view.SetChecked(ConfigCheck::Rtu, false);
  view.SetChecked(ConfigCheck::SingleReg, true);
  view.map.Addr[3] = "x20";
  view.map.Factor[5] = " 0.25";
  view.SetBoxText(ConfigBox::Type, "Mine");
  master.ImageSlot = 4;
  EXPECT_TRUE(code->CmdExitClick());
  EXPECT_EQ(calls, (std::vector<std::string>{"CloseComm", "OpenComm 3 1024 1024 19200 8 1 2", "PortActivate",
                                             "Interval 5000", "DisplayRegs"}));
  EXPECT_FALSE(settings.Link.RtuMode);
  EXPECT_TRUE(settings.Link.UseFunction6);
  EXPECT_EQ(settings.Poll.ResponseTime, 2000);
  EXPECT_EQ(settings.Link.SlaveAddress, 17);
  EXPECT_EQ(settings.Map.AddrHys, 32);
  EXPECT_FLOAT_EQ(settings.Map.FactorKi, 0.25f);
  EXPECT_EQ(settings.Map.ControllerType, "Mine");
  EXPECT_EQ(master.ImageSlot, 1);
  EXPECT_TRUE(view.hidden);
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(ConfigCodeTest, OkTakesTheRegisterLayoutsAndABadOneLosesNothing) {
  Create();
  view.map.Addr[0] = "4096";
  view.map.Format[0] = "f32-CDAB";
  view.map.Table[0] = "input";
  view.map.WriteAddr[1] = "300";
  EXPECT_TRUE(code->CmdExitClick());
  EXPECT_EQ(settings.Map.LayoutPV, (RegisterLayout{RegisterFormat::F32, WordOrder::CDAB, RegisterTable::Input, -1}));
  EXPECT_EQ(settings.Map.LayoutSP.WriteAddress, 300);
  calls.clear();
  view.map.Format[4] = "f64";
  EXPECT_FALSE(code->CmdExitClick());
  EXPECT_TRUE(calls.empty());  // the port is not even closed
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].substr(0, 20), "Kp FORMAT: \"f64\" is ");
  EXPECT_EQ(settings.Map.LayoutKp.Format, RegisterFormat::U16);
}

TEST_F(ConfigCodeTest, OutOfRangePollAndResponseTimesAreKeptSilently) {
  Create();
  settings.Poll.PollTime = 7;
  for (const char* text : {"45", "0", "abc", "31"}) {
    view.SetBoxText(ConfigBox::PollTime, text);
    view.SetBoxText(ConfigBox::ResponseTime, "399");
    EXPECT_TRUE(code->CmdExitClick());
    EXPECT_EQ(settings.Poll.PollTime, 7) << text;
    EXPECT_EQ(settings.Poll.ResponseTime, 400) << text;
  }
  view.SetBoxText(ConfigBox::PollTime, "30");
  view.SetBoxText(ConfigBox::ResponseTime, "2001");
  code->CmdExitClick();
  EXPECT_EQ(settings.Poll.PollTime, 30);
  EXPECT_EQ(settings.Poll.ResponseTime, 400);
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(ConfigCodeTest, RangeEndsTypedAfterAnotherValueAreTaken) {
  Create();
  struct Case {
    const char* poll;
    const char* response;
    std::int32_t wantPoll, wantResponse;
  };
  for (const Case& c : {Case{"1", "400", 1, 400}, Case{"30", "2000", 30, 2000}, Case{"0", "399", 7, 1000},
                        Case{"31", "2001", 7, 1000}}) {
    settings.Poll.PollTime = 7;
    settings.Poll.ResponseTime = 1000;
    view.SetBoxText(ConfigBox::PollTime, c.poll);
    view.SetBoxText(ConfigBox::ResponseTime, c.response);
    EXPECT_TRUE(code->CmdExitClick());
    EXPECT_EQ(settings.Poll.PollTime, c.wantPoll) << c.poll;
    EXPECT_EQ(settings.Poll.ResponseTime, c.wantResponse) << c.response;
  }
}

TEST_F(ConfigCodeTest, LoadedPollTimeOutsideTheRangeIsBroughtIntoIt) {
  Create();
  settings.Poll.PollTime = 0;  // as a loaded file can leave it
  code->FormActivate();
  code->CmdExitClick();
  EXPECT_EQ(settings.Poll.PollTime, 1);
  EXPECT_EQ(calls.back(), "DisplayRegs");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "Interval 1000"), calls.end());
}

TEST_F(ConfigCodeTest, DataBitsAndParityOutsideTheirListsAreKept) {
  Create();
  view.SetBoxText(ConfigBox::DataBits, "9");
  view.SetBoxText(ConfigBox::Parity, "M");
  code->CmdExitClick();
  EXPECT_EQ(settings.Link.DataBits, 8);
  EXPECT_EQ(settings.Link.ParityLetter, "N");
  view.SetBoxText(ConfigBox::DataBits, " 7");
  view.SetBoxText(ConfigBox::Parity, "e");
  code->CmdExitClick();
  EXPECT_EQ(settings.Link.DataBits, 8);
  EXPECT_EQ(settings.Link.ParityLetter, "N");
  view.SetBoxText(ConfigBox::DataBits, "7");
  view.SetBoxText(ConfigBox::Parity, "O");
  code->CmdExitClick();
  EXPECT_EQ(settings.Link.DataBits, 7);
  EXPECT_EQ(settings.Link.ParityLetter, "O");
  EXPECT_EQ(calls[calls.size() - 3], "OpenComm 1 1024 1024 9600 7 2 1");
}

TEST_F(ConfigCodeTest, StoredParityOutsideTheListLeavesThePortParity) {
  Create();
  settings.Link.ParityLetter = "Q";  // only a loaded file gives this
  view.SetBoxText(ConfigBox::Parity, "Q");
  code->CmdExitClick();
  EXPECT_EQ(calls[1], "OpenComm 1 1024 1024 9600 8 -1 1");
}

TEST_F(ConfigCodeTest, PortAndBaudAreStoredWithoutChecks) {
  Create();
  view.SetBoxText(ConfigBox::Port, "11");
  view.SetBoxText(ConfigBox::Baud, "250000");
  view.SetBoxText(ConfigBox::StopBits, "3");
  code->CmdExitClick();
  EXPECT_EQ(settings.Link.PortNumber, 11);
  EXPECT_EQ(settings.Link.Baud, 250000);
  EXPECT_EQ(settings.Link.StopBitCount, 3);
  EXPECT_EQ(calls[1], "OpenComm 11 1024 1024 250000 8 0 3");
}

TEST_F(ConfigCodeTest, OkWithoutPortActiveLeavesThePortClosed) {
  Create();
  portActive = true;
  settings.Link.PortNumber = 1;
  code->FormActivate();
  view.SetChecked(ConfigCheck::PortActive, false);
  code->CmdExitClick();
  EXPECT_FALSE(portActive);
  EXPECT_EQ(calls[0], "CloseComm");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PortActivate"), 0);
  EXPECT_EQ(settings.Link.PortNumber, 1);  // read back from the box after the close
}

TEST_F(ConfigCodeTest, PortThatCannotBeOpenedStopsOkAfterStepTwelve) {
  Create();
  refuseOpen = true;
  view.SetBoxText(ConfigBox::Port, "7");
  view.SetBoxText(ConfigBox::Baud, "4800");
  view.SetBoxText(ConfigBox::Address, "17");
  view.SetBoxText(ConfigBox::PollTime, "9");
  view.SetBoxText(ConfigBox::Type, "Mine");
  view.map.Addr[0] = "44";
  view.SetChecked(ConfigCheck::PortActive, true);
  master.ImageSlot = 3;
  EXPECT_FALSE(code->CmdExitClick());
  EXPECT_EQ(view.errors, std::vector<std::string>{"Cannot connect to COM7."});
  // Steps 1 to 11 took effect ...
  EXPECT_EQ(settings.Link.PortNumber, 7);
  EXPECT_EQ(settings.Link.Baud, 4800);
  EXPECT_EQ(settings.Poll.PollTime, 9);
  // ... 13 to 20 did not.
  EXPECT_EQ(settings.Map.AddrPV, 1);
  EXPECT_EQ(settings.Map.ControllerType, "Novus N1100");
  EXPECT_EQ(settings.Link.SlaveAddress, 1);
  EXPECT_EQ(master.ImageSlot, 3);
  EXPECT_EQ(calls.back(), "PortActivate");
  EXPECT_FALSE(view.hidden);
}

TEST_F(ConfigCodeTest, EmptyModuleBoxStoresAnEmptyType) {
  Create();
  view.SetBoxText(ConfigBox::Type, "");
  code->CmdExitClick();
  EXPECT_EQ(settings.Map.ControllerType, "");
}

// ---- The controller list --------------------------------------------------

TEST_F(ConfigCodeTest, AddTakesTheNextFreeAddressAndNameAndTheFirstRowsPreset) {
  dir.Write("A.Korvane", "PV, 5, a, b, 0.5");
  settings.Map.ControllerType = "A";
  Create();
  EXPECT_EQ(view.rows, (std::vector<ControllerRow>{{"Controller 1", 1, "A"}}));
  code->AddControllerClick();
  view.SetBoxText(ConfigBox::Address, "4");  // the first row is the boxes' controller
  code->AddControllerClick();
  code->RemoveControllerClick(1);
  code->RemoveControllerClick(0);  // the first row stays
  code->AddControllerClick();
  EXPECT_EQ(view.rows, (std::vector<ControllerRow>{{"Controller 1", 4, "A"}, {"Controller 3", 5, "A"},
                                                   {"Controller 4", 6, "A"}}));
}

// OK checks the list before anything else: a refusal names the row and
// applies nothing; an accepted list lands in the settings, each row with its
// preset's map and form, an "Other" row with the map it had.
TEST_F(ConfigCodeTest, OkChecksTheListThenStoresIt) {
  dir.Write("A.Korvane", "PV, 5, a, b, 0.5");
  dir.Write("B.Korvane", "PV, 6, a, b, 0.25\r\nK, 13, gain, x, 1\r\nPV register, f32-CDAB, input\r\n");
  RegisterMap kept;
  kept.ControllerType = "Other";
  kept.AddrKd = 400;
  const struct {
    const char* what;
    std::function<void(FakeView&)> edit;
    std::string error;
  } cases[] = {
      {"a good list", [](FakeView&) {}, ""},
      {"repeated address", [](FakeView& v) { v.rows[2].Address = 9; },
       "Row 3 (Controller 3): address 9 is already used by row 2 (Loaded)"},
      {"first row's address box out of range", [](FakeView& v) { v.SetBoxText(ConfigBox::Address, "248"); },
       "Row 1 (Boiler): address 248 is not in 1..247"},
      {"preset not listed", [](FakeView& v) { v.rows[2].Type = "C"; },
       "Row 3 (Controller 3): preset \"C\" is not in the preset list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    settings = Settings{};
    settings.Map.ControllerType = "A";
    settings.FirstName = "Boiler";
    settings.Others = {{"Loaded", 9, kept}};
    calls.clear();
    view.errors.clear();
    Create();
    code->AddControllerClick();
    view.rows[2].Type = "B";
    c.edit(view);
    EXPECT_EQ(code->CmdExitClick(), c.error.empty());
    if (!c.error.empty()) {
      EXPECT_EQ(view.errors, std::vector<std::string>{c.error});
      EXPECT_TRUE(calls.empty());  // the port is not even closed
      EXPECT_EQ(settings.Others.size(), 1u);
      continue;
    }
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(settings.FirstName, "Boiler");
    EXPECT_EQ(settings.Map.AddrPV, 5);
    ASSERT_EQ(settings.Others.size(), 2u);
    EXPECT_EQ(settings.Others[0], (LineController{"Loaded", 9, kept}));
    const LineController& added = settings.Others[1];
    EXPECT_EQ(added.Name, "Controller 3");
    EXPECT_EQ(added.Address, 10);
    EXPECT_EQ(added.Map.ControllerType, "B");
    EXPECT_EQ(added.Map.AddrPV, 6);
    EXPECT_FLOAT_EQ(added.Map.FactorPV, 0.25f);
    EXPECT_EQ(added.Map.LayoutPV.Table, RegisterTable::Input);
    EXPECT_EQ(added.Map.Form.K, ProportionalUnit::Gain);
  }
}

TEST_F(ConfigCodeTest, ParityCodes) {
  EXPECT_EQ(ConfigCode::ParityCode("N"), 0);
  EXPECT_EQ(ConfigCode::ParityCode("E"), 1);
  EXPECT_EQ(ConfigCode::ParityCode("O"), 2);
  EXPECT_EQ(ConfigCode::ParityCode(""), -1);
  EXPECT_EQ(ConfigCode::ParityCode("NE"), -1);
}

}  // namespace
}  // namespace korvane
