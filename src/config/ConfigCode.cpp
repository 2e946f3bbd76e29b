#include "config/ConfigCode.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
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
  view_.SetControllerRows(RowsOf(s));
  kept_.clear();
  for (const LineController& c : s.Others) kept_.push_back(c.Map);
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

namespace {

// The link and poll settings the boxes give, into `s`; a box outside its
// list or range keeps the stored value.
void TakeLinkBoxes(const ConfigFormView& view, Settings& s) {
  s.Link.RtuMode = view.Checked(ConfigCheck::Rtu);
  s.Link.PortNumber = LenientInt(view.BoxText(ConfigBox::Port));
  s.Link.Baud = LenientInt(view.BoxText(ConfigBox::Baud));
  s.Link.UseFunction6 = view.Checked(ConfigCheck::SingleReg);

  std::int32_t pollTime = LenientInt(view.BoxText(ConfigBox::PollTime));
  if (pollTime >= kMinPollTime && pollTime <= kMaxPollTime) {
    s.Poll.PollTime = pollTime;
  } else {
    // Only a loaded file can leave a stored value outside the range; a poll
    // timer of 0 s would flood the line, so it is brought into the range.
    s.Poll.PollTime = std::clamp(s.Poll.PollTime, kMinPollTime, kMaxPollTime);
  }
  std::int32_t responseTime = LenientInt(view.BoxText(ConfigBox::ResponseTime));
  if (responseTime >= kMinResponseTime && responseTime <= kMaxResponseTime) s.Poll.ResponseTime = responseTime;

  std::string dataBits = view.BoxText(ConfigBox::DataBits);
  if (dataBits == "7" || dataBits == "8") s.Link.DataBits = LenientInt(dataBits);
  std::string parity = view.BoxText(ConfigBox::Parity);
  if (parity == "N" || parity == "E" || parity == "O") s.Link.ParityLetter = parity;
  s.Link.StopBitCount = LenientInt(view.BoxText(ConfigBox::StopBits));
}

}  // namespace

void ConfigCode::ApplyLinkAndOpen() {
  Settings& s = ctx_.settings;
  ctx_.closeComm();
  TakeLinkBoxes(view_, s);
  // 1 and 2 are the stop codes of one and two stop bits; any other count is
  // passed on as it is and the port keeps its stop bits.
  ctx_.openComm(s.Link.PortNumber, kQueueSize, kQueueSize, s.Link.Baud, s.Link.DataBits,
                ParityCode(s.Link.ParityLetter), s.Link.StopBitCount);
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

// The map a preset's or the map boxes' texts give, read as OK always read
// the boxes: addresses and factors leniently, the layouts checked.
RegisterMap MapOfTexts(const MapTexts& t, const std::string& type, const PidForm& form) {
  static constexpr std::int32_t RegisterMap::*kAddrs[kMapRows] = {
      &RegisterMap::AddrPV, &RegisterMap::AddrSP, &RegisterMap::AddrOut, &RegisterMap::AddrHys,
      &RegisterMap::AddrKp, &RegisterMap::AddrKi, &RegisterMap::AddrKd};
  static constexpr float RegisterMap::*kFactors[kMapRows] = {
      &RegisterMap::FactorPV, &RegisterMap::FactorSP, &RegisterMap::FactorOut, &RegisterMap::FactorHys,
      &RegisterMap::FactorKp, &RegisterMap::FactorKi, &RegisterMap::FactorKd};
  static constexpr RegisterLayout RegisterMap::*kLayouts[kMapRows] = {
      &RegisterMap::LayoutPV, &RegisterMap::LayoutSP, &RegisterMap::LayoutOut, &RegisterMap::LayoutHys,
      &RegisterMap::LayoutKp, &RegisterMap::LayoutKi, &RegisterMap::LayoutKd};
  const std::array<RegisterLayout, kMapRows> layouts = LayoutsOf(t);
  RegisterMap m;
  for (std::size_t i = 0; i < kMapRows; ++i) {
    m.*kAddrs[i] = LenientInt(t.Addr[i]);
    m.*kFactors[i] = ToFloat32(LenientFloat(t.Factor[i]));
    m.*kLayouts[i] = layouts[i];
  }
  m.ControllerType = type;
  m.Form = form;
  return m;
}

}  // namespace

std::vector<ControllerRow> ConfigCode::ListRows() const {
  std::vector<ControllerRow> rows = view_.ControllerRows();
  if (rows.empty()) rows.emplace_back();
  rows[0].Address = LenientInt(view_.BoxText(ConfigBox::Address));
  rows[0].Type = view_.BoxText(ConfigBox::Type);
  for (ControllerRow& row : rows) row.Name = TrimmedName(row.Name);
  return rows;
}

std::vector<std::string> ConfigCode::PresetNames() const {
  std::vector<std::string> names = view_.ListItems(ConfigBox::Type);
  std::erase(names, std::string(kOtherType));
  return names;
}

RegisterMap ConfigCode::BoxesMap() const { return MapOfTexts(view_.MapBoxes(), view_.BoxText(ConfigBox::Type), form_); }

RegisterMap ConfigCode::ListedMap(const ControllerRow& row, std::size_t index) const {
  if (row.Type == kOtherType) {
    RegisterMap kept = index - 1 < kept_.size() ? kept_[index - 1] : RegisterMap{};
    kept.ControllerType = kOtherType;
    return kept;
  }
  const MapTexts texts = ReadPreset(ctx_.presetFolders, row.Type);
  return MapOfTexts(texts, row.Type, texts.Form);
}

bool ConfigCode::CmdExitClick() {
  try {
    Settings& s = ctx_.settings;
    // Checked before anything is applied: a refused row or a bad box loses
    // nothing, and the port is not even closed.
    const std::vector<ControllerRow> rows = ListRows();
    if (const std::optional<std::string> problem = CheckControllerList(rows, PresetNames(), ctx_.presetFolders)) {
      view_.ShowError(*problem);
      return false;
    }
    RegisterMap first = BoxesMap();
    std::vector<LineController> others;
    for (std::size_t i = 1; i < rows.size(); ++i) others.push_back({rows[i].Name, rows[i].Address, ListedMap(rows[i], i)});
    ApplyLinkAndOpen();

    s.Map = std::move(first);
    ctx_.setPollInterval(s.Poll.PollTime * 1000);
    s.Link.SlaveAddress = rows[0].Address;
    s.FirstName = rows[0].Name;
    s.Others = std::move(others);
    // The window takes the whole list, so it is told once the list is stored.
    if (ctx_.displayRegs) ctx_.displayRegs();
    if (ctx_.setImageSlot) ctx_.setImageSlot(1);
    view_.HideForm();
    return true;
  } catch (const std::exception& e) {
    view_.ShowError(e.what());
    return false;
  }
}

void ConfigCode::AddControllerClick() {
  std::vector<ControllerRow> rows = ListRows();
  RegisterMap map;  // the default map when the boxes do not read
  try {
    map = BoxesMap();
  } catch (const RegisterLineError&) {
  }
  kept_.resize(rows.size() - 1);
  kept_.push_back(map);
  rows.push_back({NextFreeName(rows), NextFreeAddress(rows), rows[0].Type});
  view_.SetControllerRows(rows);
}

void ConfigCode::RemoveControllerClick(std::size_t row) {
  std::vector<ControllerRow> rows = ListRows();
  if (row == 0 || row >= rows.size()) return;
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
  if (row - 1 < kept_.size()) kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(row - 1));
  view_.SetControllerRows(rows);
}

ConfigCode::PendingLine ConfigCode::Pending() const {
  Settings s = ctx_.settings;
  TakeLinkBoxes(view_, s);
  const std::vector<ControllerRow> rows = ListRows();
  PendingLine line{s.Link, s.Poll.PollTime, rows.size(), {}};
  // A row whose map does not read adds nothing: OK refuses it anyway.
  for (std::size_t i = 0; i < rows.size(); ++i) {
    try {
      line.Maps.push_back(i == 0 ? BoxesMap() : ListedMap(rows[i], i));
    } catch (const std::exception&) {
    }
  }
  return line;
}

}  // namespace korvane
