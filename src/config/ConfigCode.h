#pragma once
// The configuration dialog's logic, free of any GUI toolkit: showing the
// settings, the controller presets of the "Module" box, and OK, which closes
// the port, stores the settings, configures the port and opens it.
// The dialog window implements ConfigFormView; tests use a plain one.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/Presets.h"
#include "base/Settings.h"

namespace korvane {

// The dialog's list boxes and edit boxes that hold one text each.
enum class ConfigBox {
  Port,          // ComboPort
  Baud,          // ComboBaud
  DataBits,      // ComboData
  Parity,        // ComboParity
  StopBits,      // ComboStop
  PollTime,      // TxtPollTime
  ResponseTime,  // TxtResponseTime
  Type,          // CboType, the "Module" box
  Address,       // CboAddr
};

// Check boxes and the mode radio buttons.
enum class ConfigCheck {
  PortActive,  // ChkPort
  Rtu,         // OptRTU ticked; unticked means OptASCII
  SingleReg,   // ChkSingleReg
};

class ConfigFormView {
 public:
  virtual ~ConfigFormView() = default;
  virtual std::string BoxText(ConfigBox box) const = 0;
  virtual void SetBoxText(ConfigBox box, const std::string& text) = 0;
  // List boxes only.
  virtual void SetListItems(ConfigBox box, const std::vector<std::string>& items) = 0;
  virtual void AddListItem(ConfigBox box, const std::string& item) = 0;
  virtual std::vector<std::string> ListItems(ConfigBox box) const = 0;
  // Selects an item; its text becomes the box's text. Never runs CboTypeChange.
  virtual void SelectListItem(ConfigBox box, int index) = 0;

  virtual bool Checked(ConfigCheck check) const = 0;
  virtual void SetChecked(ConfigCheck check, bool on) = 0;

  virtual MapTexts MapBoxes() const = 0;
  virtual void SetMapBoxes(const MapTexts& texts) = 0;

  virtual void HideForm() = 0;
  // The standard error message box.
  virtual void ShowError(const std::string& message) = 0;
};

// What the dialog drives: the port control, the poll timer, the value display.
struct ConfigContext {
  Settings& settings;
  // Selects the slot of the register image that replies fill (OK sets slot 1).
  std::function<void(std::int32_t slot)> setImageSlot;
  std::function<bool()> portActive;
  std::function<void()> closeComm;
  std::function<void(std::int32_t port, std::int32_t inQueue, std::int32_t outQueue, std::int32_t baud,
                     std::int32_t dataBits, std::int32_t parityCode, std::int32_t stopCode)>
      openComm;
  std::function<void()> portActivate;  // throws with the message to show
  std::function<void(int milliseconds)> setPollInterval;
  std::function<void()> displayRegs;
  std::vector<std::string> presetFolders;  // where the preset files lie (PresetFolders)
};

inline constexpr const char* kOtherType = "Other";

class ConfigCode {
 public:
  ConfigCode(ConfigFormView& view, ConfigContext context);

  void FormCreate();
  void FormActivate();
  void updateVals(const std::string& name);
  void CboTypeChange();
  // Any key in one of the 14 map boxes.
  void MapBoxKeyDown();
  // OK. False when it stopped on an error (shown) and the dialog stays open.
  bool CmdExitClick();

  // The parity code OpenComm takes for a stored letter; -1 (the port keeps
  // its parity) for a letter other than "N", "E", "O".
  static std::int32_t ParityCode(const std::string& letter);

 private:
  void ShowCurrentSettings();
  void ShowCurrentMap();
  void SelectTypeItem(const std::string& name);
  void ApplyLinkAndOpen();

  ConfigFormView& view_;
  ConfigContext ctx_;
  PidForm form_;  // of the preset (or map) the boxes show; stored by OK
};

}  // namespace korvane
