#include "app/config/ConfigForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>

#include "base/Convert.h"
#include "master/MasterState.h"
#include "ports/ComNameMap.h"
#include "ports/NetworkDeviceLine.h"
#include "ports/PortControl.h"
#include "ports/PortOpenReason.h"

namespace korvane {
namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }
std::string ToStd(const QString& text) { return text.toStdString(); }

// The named key-down handler of each map box, row by row.
using KeyDownHandler = void (*)(TConfigForm&);
constexpr KeyDownHandler kAddrKeyDown[kMapRows] = {
    [](TConfigForm& f) { f.TxtAddrPVKeyDown(); },  [](TConfigForm& f) { f.TxtAddrSPKeyDown(); },
    [](TConfigForm& f) { f.TxtAddrOutKeyDown(); }, [](TConfigForm& f) { f.TxtAddrHysKeyDown(); },
    [](TConfigForm& f) { f.TxtAddrKKeyDown(); },   [](TConfigForm& f) { f.TxtAddrKiKeyDown(); },
    [](TConfigForm& f) { f.TxtAddrKdKeyDown(); }};
constexpr KeyDownHandler kFactorKeyDown[kMapRows] = {
    [](TConfigForm& f) { f.TxtFactorPVKeyDown(); },  [](TConfigForm& f) { f.TxtFactorCVKeyDown(); },
    [](TConfigForm& f) { f.TxtFactorOutKeyDown(); }, [](TConfigForm& f) { f.TxtFactorHysKeyDown(); },
    [](TConfigForm& f) { f.TxtFactorKKeyDown(); },   [](TConfigForm& f) { f.TxtFactorKiKeyDown(); },
    [](TConfigForm& f) { f.TxtFactorKdKeyDown(); }};

ConfigContext CoreContext(const ConfigFormContext& c) {
  PortControl* port = c.port;
  QTimer* timer = c.pollTimer;
  return ConfigContext{
      *c.settings,
      [state = c.master](std::int32_t slot) {
        if (state != nullptr) state->ImageSlot = slot;
      },
      [port] { return port != nullptr && port->PortActive(); },
      [port] {
        if (port != nullptr) port->CloseComm();
      },
      [port](std::int32_t n, std::int32_t in, std::int32_t out, std::int32_t baud, std::int32_t data,
             std::int32_t parity, std::int32_t stop) {
        if (port != nullptr) port->OpenComm(n, in, out, baud, data, parity, stop);
      },
      [port] {
        if (port != nullptr) port->PortActivate();
      },
      [timer](int ms) {
        if (timer != nullptr) timer->setInterval(ms);
      },
      c.displayRegs,
      PresetFolders(ToStd(c.programFolder), ToStd(c.userPresetFolder))};
}

}  // namespace

TConfigForm::TConfigForm(const ConfigFormContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context) {
  setObjectName(QStringLiteral("ConfigForm"));
  setWindowTitle(QStringLiteral("Configuration"));
  setAccessibleName(QStringLiteral("Configuration"));
  w_ = BuildConfigFormLayout(*this);
  table_ = std::make_unique<ControllerTable>(w_.ControllerList, w_.CboAddr, w_.CboType);
  resize(760, 435);  // room for the format, table and write address columns
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

  focusNow_ = QGuiApplication::focusWindow();
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
    focusBefore_ = focusNow_;
    focusNow_ = window;
  });
  connect(w_.CboType, &QComboBox::textActivated, this, &TConfigForm::CboTypeChange);
  connect(w_.CboType->lineEdit(), &QLineEdit::textEdited, this, &TConfigForm::CboTypeChange);
  connect(w_.CmdExit, &QPushButton::clicked, this, &TConfigForm::CmdExitClick);
  connect(w_.ComboPort, &QComboBox::currentTextChanged, this, &TConfigForm::UpdatePortDevice);
  for (std::size_t i = 0; i < kMapRows; ++i) {
    w_.TxtAddr[i]->installEventFilter(this);
    w_.TxtFactor[i]->installEventFilter(this);
    for (QLineEdit* box : {w_.TxtFormat[i], w_.TxtTable[i], w_.TxtWrite[i]}) box->installEventFilter(this);
  }

  ConfigContext core = CoreContext(context_);
  // A refused open keeps its message box; the device label says why.
  core.portActivate = [this, activate = core.portActivate] {
    try {
      activate();
    } catch (...) {
      ShowPortOpenReason();
      throw;
    }
    UpdatePortDevice();
  };
  code_ = std::make_unique<ConfigCode>(static_cast<ConfigFormView&>(*this), std::move(core));
  WireControllerList();
  FormCreate();
  UpdatePortDevice();
  deviceLineTimer_ = new QTimer(this);
  deviceLineTimer_->setObjectName(QStringLiteral("DeviceLineTimer"));
  deviceLineTimer_->setInterval(250);
  connect(deviceLineTimer_, &QTimer::timeout, this, &TConfigForm::UpdatePortDevice);
}

TConfigForm::~TConfigForm() = default;

void TConfigForm::FormCreate() { code_->FormCreate(); }
void TConfigForm::FormActivate() { code_->FormActivate(); }
void TConfigForm::updateVals(const QString& name) { code_->updateVals(ToStd(name)); }
void TConfigForm::CboTypeChange() { code_->CboTypeChange(); }
void TConfigForm::CmdExitClick() { code_->CmdExitClick(); }
void TConfigForm::MapBoxKeyDown() { code_->MapBoxKeyDown(); }

void TConfigForm::WireControllerList() {
  QTableWidget* list = w_.ControllerList;
  connect(w_.AddController, &QPushButton::clicked, this, [this, list] {
    code_->AddControllerClick();
    list->selectRow(list->rowCount() - 1);
  });
  connect(w_.RemoveController, &QPushButton::clicked, this, [this] {
    if (const int row = table_->SelectedRow(); row > 0) code_->RemoveControllerClick(static_cast<std::size_t>(row));
  });
  w_.RemoveController->setEnabled(false);  // the first row is never removed
  connect(list, &QTableWidget::itemSelectionChanged, this,
          [this] { w_.RemoveController->setEnabled(table_->SelectedRow() > 0); });
  connect(list, &QTableWidget::itemChanged, this, &TConfigForm::UpdateLineTimeWarning);
  for (QComboBox* box : {w_.CboAddr, w_.CboType}) {
    connect(box, &QComboBox::currentTextChanged, this, [this] {
      table_->MirrorFirstRow();
      UpdateLineTimeWarning();
    });
  }
  for (QComboBox* box : {w_.ComboBaud, w_.ComboData, w_.ComboParity, w_.ComboStop}) {
    connect(box, &QComboBox::currentTextChanged, this, &TConfigForm::UpdateLineTimeWarning);
  }
  connect(w_.OptRTU, &QRadioButton::toggled, this, &TConfigForm::UpdateLineTimeWarning);
  connect(w_.TxtPollTime, &QLineEdit::textChanged, this, &TConfigForm::UpdateLineTimeWarning);
  for (std::size_t i = 0; i < kMapRows; ++i) {
    for (QLineEdit* box : {w_.TxtAddr[i], w_.TxtFormat[i], w_.TxtTable[i]}) {
      connect(box, &QLineEdit::textChanged, this, &TConfigForm::UpdateLineTimeWarning);
    }
  }
}

void TConfigForm::UpdateLineTimeWarning() {
  if (code_) ShowLineTimeWarning(w_.LineTimeWarning, code_->Pending());  // none while the dialog is being built
}

QString TConfigForm::PortDeviceText(const QString& portText) {
  std::int32_t number = LenientInt(ToStd(portText));
  QString name = QStringLiteral("COM%1").arg(number);
  // The port control selects COM1 to COM10 only; any other number keeps
  // the port it had.
  if (!IsSelectablePort(number)) {
    return name + QStringLiteral(" → none (only COM%1 to COM%2)").arg(kFirstSelectablePort).arg(kLastSelectablePort);
  }
  const ComNameMap map = ComNameMap::UserDefault();
  if (const auto network = DescribeNetworkMapping(map, ToStd(name))) return FromStd(network->Text);
  QString text = name + QStringLiteral(" → ") + FromStd(map.DevicePath(ToStd(name)));
  if (!map.DevicePresent(ToStd(name))) text += QStringLiteral(" (not present)");
  return text;
}

void TConfigForm::UpdatePortDevice() {
  const QString portText = w_.ComboPort->currentText();
  QString text = PortDeviceText(portText);
  QString hint;
  QString reason;
  // A network mapping connects in the background: the line follows how the
  // latest connect went, also after OK (see deviceLineTimer_).
  const std::int32_t number = LenientInt(ToStd(portText));
  if (IsSelectablePort(number)) {
    if (const auto network = DescribeNetworkMapping(ComNameMap::UserDefault(), "COM" + std::to_string(number))) {
      reason = FromStd(network->Reason);
      hint = FromStd(network->Hint);
      if (!reason.isEmpty()) text += QStringLiteral("\n") + reason;
    }
  }
  if (w_.LblPortDevice->text() == text && w_.LblPortDevice->toolTip() == hint) return;
  w_.LblPortDevice->setText(text);
  w_.LblPortDevice->setToolTip(hint);
  w_.LblPortDevice->setAccessibleDescription(hint.isEmpty() ? reason : reason + QStringLiteral(": ") + hint);
}

void TConfigForm::ShowPortOpenReason() {
  const QString portText = w_.ComboPort->currentText();
  const std::int32_t number = LenientInt(ToStd(portText));
  UpdatePortDevice();
  if (!IsSelectablePort(number)) return;
  // A network mapping has said why already (a bad address, or the connect's outcome).
  if (ComNameMap::UserDefault().IsNetworkMapped("COM" + std::to_string(number))) return;
  const std::string device = ComNameMap::UserDefault().DevicePath("COM" + std::to_string(number));
  const PortOpenDiagnosis diagnosis = DiagnosePortOpen(device);
  w_.LblPortDevice->setText(PortDeviceText(portText) + QStringLiteral("\n") + FromStd(PortOpenReasonText(diagnosis)));
  w_.LblPortDevice->setToolTip(FromStd(PortOpenHint(diagnosis)));
  w_.LblPortDevice->setAccessibleDescription(w_.LblPortDevice->toolTip());
}

bool TConfigForm::CameFromProgramWindow() const {
  QWindow* mine = windowHandle();
  QWindow* before = focusNow_ == mine ? focusBefore_.data() : focusNow_.data();
  if (before == nullptr || before == mine) return false;  // from another application
  if (before->type() == Qt::Popup || before->type() == Qt::ToolTip) return false;
  // Message boxes and file dialogs are not windows of the program of their
  // own: coming back from one is no activation.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->windowHandle() != before) continue;
    return qobject_cast<QMessageBox*>(top) == nullptr && qobject_cast<QFileDialog*>(top) == nullptr &&
           qobject_cast<QInputDialog*>(top) == nullptr;
  }
  return true;
}

bool TConfigForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) {
    if (refilledByShow_) {
      refilledByShow_ = false;
    } else if (CameFromProgramWindow()) {
      FormActivate();
    }
  }
  return QWidget::event(e);
}

void TConfigForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  deviceLineTimer_->start();
  if (!e->spontaneous()) {
    // Being shown makes the dialog the active window: refill now, and take
    // the activation that follows as this one.
    FormActivate();
    refilledByShow_ = true;
  }
}

void TConfigForm::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  deviceLineTimer_->stop();
  if (!e->spontaneous()) refilledByShow_ = false;
}

bool TConfigForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(e)->key();
    // Tab and Backtab move the focus on; they are no key for the box.
    if (key != Qt::Key_Tab && key != Qt::Key_Backtab) {
      for (std::size_t i = 0; i < kMapRows; ++i) {
        if (watched == w_.TxtAddr[i]) kAddrKeyDown[i](*this);
        if (watched == w_.TxtFactor[i]) kFactorKeyDown[i](*this);
        if (watched == w_.TxtFormat[i] || watched == w_.TxtTable[i] || watched == w_.TxtWrite[i]) {
          kAddrKeyDown[i](*this);
        }
      }
    }
  }
  return QWidget::eventFilter(watched, e);  // the key still reaches the box
}

// ---- ConfigFormView ------------------------------------------------------

namespace {

QComboBox* ListOf(const ConfigFormWidgets& w, ConfigBox box) {
  switch (box) {
    case ConfigBox::Port: return w.ComboPort;
    case ConfigBox::Baud: return w.ComboBaud;
    case ConfigBox::DataBits: return w.ComboData;
    case ConfigBox::Parity: return w.ComboParity;
    case ConfigBox::StopBits: return w.ComboStop;
    case ConfigBox::Type: return w.CboType;
    case ConfigBox::Address: return w.CboAddr;
    case ConfigBox::PollTime:
    case ConfigBox::ResponseTime: return nullptr;
  }
  return nullptr;
}

QLineEdit* EditOf(const ConfigFormWidgets& w, ConfigBox box) {
  if (box == ConfigBox::PollTime) return w.TxtPollTime;
  if (box == ConfigBox::ResponseTime) return w.TxtResponseTime;
  return nullptr;
}

QAbstractButton* ButtonOf(const ConfigFormWidgets& w, ConfigCheck check) {
  switch (check) {
    case ConfigCheck::PortActive: return w.ChkPort;
    case ConfigCheck::Rtu: return w.OptRTU;
    case ConfigCheck::SingleReg: return w.ChkSingleReg;
  }
  return nullptr;
}

}  // namespace

std::string TConfigForm::BoxText(ConfigBox box) const {
  if (QComboBox* list = ListOf(w_, box)) return ToStd(list->currentText());
  return ToStd(EditOf(w_, box)->text());
}

void TConfigForm::SetBoxText(ConfigBox box, const std::string& text) {
  if (QComboBox* list = ListOf(w_, box)) {
    list->setEditText(FromStd(text));
  } else {
    EditOf(w_, box)->setText(FromStd(text));
  }
}

void TConfigForm::SetListItems(ConfigBox box, const std::vector<std::string>& items) {
  QComboBox* list = ListOf(w_, box);
  QString text = list->currentText();
  list->clear();
  for (const std::string& item : items) list->addItem(FromStd(item));
  list->setCurrentIndex(-1);
  list->setEditText(text);
}

void TConfigForm::AddListItem(ConfigBox box, const std::string& item) {
  QComboBox* list = ListOf(w_, box);
  QString text = list->currentText();
  list->addItem(FromStd(item));
  // Adding to an empty list selects the item; the box keeps its text.
  if (list->currentText() != text) list->setEditText(text);
}

std::vector<std::string> TConfigForm::ListItems(ConfigBox box) const {
  QComboBox* list = ListOf(w_, box);
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(ToStd(list->itemText(i)));
  return items;
}

void TConfigForm::SelectListItem(ConfigBox box, int index) {
  QComboBox* list = ListOf(w_, box);
  list->setCurrentIndex(index);
  list->setEditText(list->itemText(index));
}

bool TConfigForm::Checked(ConfigCheck check) const { return ButtonOf(w_, check)->isChecked(); }

void TConfigForm::SetChecked(ConfigCheck check, bool on) {
  if (check == ConfigCheck::Rtu) {
    (on ? static_cast<QAbstractButton*>(w_.OptRTU) : w_.OptASCII)->setChecked(true);
  } else {
    ButtonOf(w_, check)->setChecked(on);
  }
}

MapTexts TConfigForm::MapBoxes() const {
  MapTexts t;
  for (std::size_t i = 0; i < kMapRows; ++i) {
    t.Addr[i] = ToStd(w_.TxtAddr[i]->text());
    t.Factor[i] = ToStd(w_.TxtFactor[i]->text());
    t.Format[i] = ToStd(w_.TxtFormat[i]->text());
    t.Table[i] = ToStd(w_.TxtTable[i]->text());
    t.WriteAddr[i] = ToStd(w_.TxtWrite[i]->text());
  }
  return t;
}

void TConfigForm::SetMapBoxes(const MapTexts& t) {
  for (std::size_t i = 0; i < kMapRows; ++i) {
    w_.TxtAddr[i]->setText(FromStd(t.Addr[i]));
    w_.TxtFactor[i]->setText(FromStd(t.Factor[i]));
    w_.TxtFormat[i]->setText(FromStd(t.Format[i]));
    w_.TxtTable[i]->setText(FromStd(t.Table[i]));
    w_.TxtWrite[i]->setText(FromStd(t.WriteAddr[i]));
  }
}

std::vector<ControllerRow> TConfigForm::ControllerRows() const { return table_->Rows(); }

void TConfigForm::SetControllerRows(const std::vector<ControllerRow>& rows) {
  table_->SetRows(rows);
  UpdateLineTimeWarning();
}

void TConfigForm::HideForm() { hide(); }

void TConfigForm::ShowError(const std::string& message) {
  if (context_.reportError) {
    context_.reportError(this, FromStd(message));
  } else {
    QMessageBox::critical(this, QStringLiteral("Korvane"), FromStd(message));
  }
}

}  // namespace korvane
