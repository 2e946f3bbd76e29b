#include "config/ConfigCode.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "base/Convert.h"
#include "base/FileError.h"
#include "base/Float32.h"
#include "config/RegisterLine.h"
#include "ports/ComNameMap.h"

namespace korvane {
namespace {

constexpr std::int32_t kQueueSize = 1024;
constexpr std::int32_t kMinPollTime = 1;
constexpr std::int32_t kMaxPollTime = 30;
constexpr std::int32_t kMinResponseTime = 400;
constexpr std::int32_t kMaxResponseTime = 2000;

// What the map boxes show when no preset file lies beside the program.
MapTexts NoPresetMap() {
  MapTexts t;
  t.Addr = {"1", "0", "2", "17", "13", "11", "12"};
  t.Factor = {"1.000", "1.000", "0.100", "1.000", "0.100", "0.010", "1.000"};
  return t;
}

std::vector<std::string> NumberItems(int first, int last) {
  std::vector<std::string> items;
  for (int n = first; n <= last; ++n) items.push_back(std::to_string(n));
  return items;
}

}  // namespace

ConfigCode::ConfigCode(ConfigFormView& view, ConfigContext context) : view_(view), ctx_(std::move(context)) {}

std::int32_t ConfigCode::ParityCode(const std::string& letter) {
  if (letter == "N") return 0;
  if (letter == "E") return 1;
  if (letter == "O") return 2;
  return -1;
}

void ConfigCode::ShowCurrentSettings() {
  const Settings& s = ctx_.settings;
  view_.SetChecked(ConfigCheck::Rtu, s.Link.RtuMode);
  view_.SetBoxText(ConfigBox::PollTime, std::to_string(s.Poll.PollTime));
  view_.SetBoxText(ConfigBox::ResponseTime, std::to_string(s.Poll.ResponseTime));
  view_.SetChecked(ConfigCheck::PortActive, ctx_.portActive && ctx_.portActive());
  view_.SetBoxText(ConfigBox::Port, std::to_string(s.Link.PortNumber));
  view_.SetBoxText(ConfigBox::Baud, std::to_string(s.Link.Baud));
  view_.SetBoxText(ConfigBox::DataBits, std::to_string(s.Link.DataBits));
  view_.SetBoxText(ConfigBox::Parity, s.Link.ParityLetter);
  view_.SetBoxText(ConfigBox::StopBits, std::to_string(s.Link.StopBitCount));
  view_.SetBoxText(ConfigBox::Address, std::to_string(s.Link.SlaveAddress));
}

void ConfigCode::ShowCurrentMap() {
  const RegisterMap& m = ctx_.settings.Map;
  form_ = m.Form;
  MapTexts t;
  t.Addr = {std::to_string(m.AddrPV), std::to_string(m.AddrSP),  std::to_string(m.AddrOut),
            std::to_string(m.AddrHys), std::to_string(m.AddrKp), std::to_string(m.AddrKi),
            std::to_string(m.AddrKd)};
  // The boxes are read back with "." as the decimal point (OK), so they are
  // shown with it too, whatever the system's separator.
  t.Factor = {Format83(m.FactorPV), Format63(m.FactorSP), Format63(m.FactorOut), Format63(m.FactorHys),
              Format63(m.FactorKp), Format63(m.FactorKi), Format63(m.FactorKd)};
  const RegisterLayout* layouts[kMapRows] = {&m.LayoutPV, &m.LayoutSP, &m.LayoutOut, &m.LayoutHys,
                                             &m.LayoutKp, &m.LayoutKi, &m.LayoutKd};
  for (std::size_t i = 0; i < kMapRows; ++i) {
    RegisterLineTexts shown = LayoutTexts(static_cast<MapRow>(i), *layouts[i]);
    t.Format[i] = std::move(shown.Format);
    t.Table[i] = std::move(shown.Table);
    t.WriteAddr[i] = std::move(shown.WriteAddr);
  }
  view_.SetMapBoxes(t);
}

void ConfigCode::SelectTypeItem(const std::string& name) {
  std::vector<std::string> items = view_.ListItems(ConfigBox::Type);
  for (std::size_t i = items.size(); i-- > 0;) {
    if (items[i] == name) {
      view_.SelectListItem(ConfigBox::Type, static_cast<int>(i));
      return;
    }
  }
}

void ConfigCode::FormCreate() {
  view_.SetListItems(ConfigBox::Port, NumberItems(kFirstSelectablePort, kLastSelectablePort));
  view_.SetListItems(ConfigBox::Baud, {"2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  view_.SetListItems(ConfigBox::DataBits, {"7", "8"});
  view_.SetListItems(ConfigBox::Parity, {"N", "E", "O"});
  view_.SetListItems(ConfigBox::StopBits, {"1", "2"});
  view_.SetListItems(ConfigBox::Address, NumberItems(1, 243));
  ShowCurrentSettings();

  PresetScan scan = ScanPresets(ctx_.presetFolders);
  for (const std::string& name : scan.Names) {
    view_.AddListItem(ConfigBox::Type, name);
    if (name == ctx_.settings.Map.ControllerType) updateVals(name);
  }
  if (!scan.AnyEntry) view_.SetMapBoxes(NoPresetMap());
  view_.AddListItem(ConfigBox::Type, kOtherType);
  if (ctx_.settings.Map.ControllerType == kOtherType) {
    ShowCurrentMap();
    updateVals(kOtherType);
  }
}

void ConfigCode::FormActivate() {
  ShowCurrentSettings();
  std::vector<std::string> items = view_.ListItems(ConfigBox::Type);
  for (std::size_t i = 0; i + 1 < items.size(); ++i) {
    if (items[i] == ctx_.settings.Map.ControllerType) updateVals(items[i]);
  }
  if (ctx_.settings.Map.ControllerType == kOtherType) {
    ShowCurrentMap();
    updateVals(kOtherType);
  }
}

void ConfigCode::updateVals(const std::string& name) {
  if (name == kOtherType) {
    ShowCurrentMap();
  } else {
    MapTexts prefill = PresetPrefill();
    view_.SetMapBoxes(prefill);
    form_ = prefill.Form;
    MapTexts texts;
    try {
      texts = ReadPreset(ctx_.presetFolders, name);
    } catch (const FileError& e) {
      view_.ShowError(e.what());
      return;
    } catch (const RegisterLineError& e) {
      // A preset with a bad register line is not used half read.
      view_.ShowError(e.what());
      return;
    }
    view_.SetMapBoxes(texts);
    form_ = texts.Form;
  }
  SelectTypeItem(name);
}

void ConfigCode::CboTypeChange() { updateVals(view_.BoxText(ConfigBox::Type)); }

void ConfigCode::MapBoxKeyDown() {
  ctx_.settings.Map.ControllerType = kOtherType;
  int count = static_cast<int>(view_.ListItems(ConfigBox::Type).size());
  if (count > 0) view_.SelectListItem(ConfigBox::Type, count - 1);
}

void ConfigCode::ApplyLinkAndOpen() {
  Settings& s = ctx_.settings;
  ctx_.closeComm();
  s.Link.RtuMode = view_.Checked(ConfigCheck::Rtu);
  s.Link.PortNumber = LenientInt(view_.BoxText(ConfigBox::Port));
  s.Link.Baud = LenientInt(view_.BoxText(ConfigBox::Baud));
  s.Link.UseFunction6 = view_.Checked(ConfigCheck::SingleReg);

  std::int32_t pollTime = LenientInt(view_.BoxText(ConfigBox::PollTime));
  if (pollTime >= kMinPollTime && pollTime <= kMaxPollTime) {
    s.Poll.PollTime = pollTime;
  } else {
    // Only a loaded file can leave a stored value outside the range; a poll
    // timer of 0 s would flood the line, so it is brought into the range.
    s.Poll.PollTime = std::clamp(s.Poll.PollTime, kMinPollTime, kMaxPollTime);
  }
  std::int32_t responseTime = LenientInt(view_.BoxText(ConfigBox::ResponseTime));
  if (responseTime >= kMinResponseTime && responseTime <= kMaxResponseTime) s.Poll.ResponseTime = responseTime;

  std::string dataBits = view_.BoxText(ConfigBox::DataBits);
  if (dataBits == "7" || dataBits == "8") s.Link.DataBits = LenientInt(dataBits);
  std::string parity = view_.BoxText(ConfigBox::Parity);
  if (parity == "N" || parity == "E" || parity == "O") s.Link.ParityLetter = parity;
  std::int32_t parityCode = ParityCode(s.Link.ParityLetter);
  s.Link.StopBitCount = LenientInt(view_.BoxText(ConfigBox::StopBits));
  // 1 and 2 are the stop codes of one and two stop bits; any other count is
  // passed on as it is and the port keeps its stop bits.
  std::int32_t stopCode = s.Link.StopBitCount;

  ctx_.openComm(s.Link.PortNumber, kQueueSize, kQueueSize, s.Link.Baud, s.Link.DataBits, parityCode, stopCode);
  if (view_.Checked(ConfigCheck::PortActive)) ctx_.portActivate();
}

namespace {

// The layouts the map boxes give; a row whose format, table and write
// address boxes are empty keeps today's reading (its address box is then
// read leniently, as always). Throws RegisterLineError naming the row.
std::array<RegisterLayout, kMapRows> LayoutsOf(const MapTexts& t) {
  static constexpr std::array<const char*, kMapRows> kRowNames = {"PV", "SetPoint", "Out", "Hysterisis",
                                                                   "Kp", "Ki", "Kd"};
  std::array<RegisterLayout, kMapRows> layouts{};
  for (std::size_t i = 0; i < kMapRows; ++i) {
    const auto row = static_cast<MapRow>(i);
    layouts[i] = DefaultLayout(row);
    if (t.Format[i].empty() && t.Table[i].empty() && t.WriteAddr[i].empty()) continue;
    try {
      layouts[i] = CheckedLayout(row, t.Addr[i], t.Format[i], t.Table[i], t.WriteAddr[i]);
    } catch (const RegisterLineError& e) {
      throw RegisterLineError(std::string(kRowNames[i]) + " " + e.what());
    }
  }
  return layouts;
}

}  // namespace

bool ConfigCode::CmdExitClick() {
  try {
    Settings& s = ctx_.settings;
    RegisterMap& m = s.Map;
    MapTexts t = view_.MapBoxes();
    // Checked before anything is applied: a bad box loses nothing.
    const std::array<RegisterLayout, kMapRows> layouts = LayoutsOf(t);
    ApplyLinkAndOpen();

    std::int32_t* addrs[kMapRows] = {&m.AddrPV, &m.AddrSP, &m.AddrOut, &m.AddrHys, &m.AddrKp, &m.AddrKi, &m.AddrKd};
    float* factors[kMapRows] = {&m.FactorPV,  &m.FactorSP, &m.FactorOut, &m.FactorHys,
                                &m.FactorKp, &m.FactorKi, &m.FactorKd};
    for (std::size_t i = 0; i < kMapRows; ++i) *addrs[i] = LenientInt(t.Addr[i]);
    for (std::size_t i = 0; i < kMapRows; ++i) *factors[i] = ToFloat32(LenientFloat(t.Factor[i]));
    RegisterLayout* targets[kMapRows] = {&m.LayoutPV, &m.LayoutSP, &m.LayoutOut, &m.LayoutHys,
                                         &m.LayoutKp, &m.LayoutKi, &m.LayoutKd};
    for (std::size_t i = 0; i < kMapRows; ++i) *targets[i] = layouts[i];
    m.ControllerType = view_.BoxText(ConfigBox::Type);
    m.Form = form_;
    ctx_.setPollInterval(s.Poll.PollTime * 1000);
    if (ctx_.displayRegs) ctx_.displayRegs();
    s.Link.SlaveAddress = LenientInt(view_.BoxText(ConfigBox::Address));
    if (ctx_.setImageSlot) ctx_.setImageSlot(1);
    view_.HideForm();
    return true;
  } catch (const std::exception& e) {
    view_.ShowError(e.what());
    return false;
  }
}

}  // namespace korvane
