#pragma once
// The configuration dialog's logic, free of any GUI toolkit: showing the
// settings, the controller presets of the "Module" box, and OK, which closes
// the port, stores the settings, configures the port and opens it.
// The dialog window implements ConfigFormView; tests use a plain one.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/ControllerList.h"
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

  // The "Controllers" list, every row in order, the first included. The
  // first row's address and preset are the Address and Module boxes: the
  // core reads them there, and the view shows the boxes' texts in that row.
  virtual std::vector<ControllerRow> ControllerRows() const = 0;
  virtual void SetControllerRows(const std::vector<ControllerRow>& rows) = 0;

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

  // Add: a row after the others at the next free address, with the next
  // free default name, the first row's preset and (for "Other") its map.
  void AddControllerClick();
  // Remove: takes row `row` (0-based) out of the list; the first row stays.
  void RemoveControllerClick(std::size_t row);

  // What OK would store for the line, applying nothing: the link and poll
  // period the boxes give and the map of every row whose map reads (the
  // first row's boxes, the others' presets), for the line-time figure.
  struct PendingLine {
    LinkSettings Link;
    std::int32_t PollSeconds = 1;
    std::size_t Controllers = 1;
    std::vector<RegisterMap> Maps;
  };
  PendingLine Pending() const;

  // The parity code OpenComm takes for a stored letter; -1 (the port keeps
  // its parity) for a letter other than "N", "E", "O".
  static std::int32_t ParityCode(const std::string& letter);

 private:
  void ShowCurrentSettings();
  void ShowCurrentMap();
  void SelectTypeItem(const std::string& name);
  void ApplyLinkAndOpen();
  // The list as shown, names trimmed, the first row's address and preset
  // from the Address and Module boxes.
  std::vector<ControllerRow> ListRows() const;
  // The Module box's presets ("Other" left out).
  std::vector<std::string> PresetNames() const;
  // The map the map boxes give, with the preset's form. Throws
  // RegisterLineError naming the row and field.
  RegisterMap BoxesMap() const;
  // The map of list row `index` (1..): its preset's, read now as the first
  // row's is, or the one it has for "Other". Throws FileError or
  // RegisterLineError.
  RegisterMap ListedMap(const ControllerRow& row, std::size_t index) const;

  ConfigFormView& view_;
  ConfigContext ctx_;
  PidForm form_;  // of the preset (or map) the boxes show; stored by OK
  // The map each list row after the first has (kept_[0] is row 2's): a
  // loaded or added row's, used while its preset is "Other".
  std::vector<RegisterMap> kept_;
};

}  // namespace korvane
