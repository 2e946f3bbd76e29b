// The configuration dialog with real widgets: what it shows with and without
// preset files, typing into it, OK with its silent range rules, and a port
// that cannot be opened.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "app/config/ConfigGuiFixture.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

namespace korvane::test {
namespace {

const char* const kAddrBoxes[] = {"TxtAddrPV", "TxtAddrSP", "TxtAddrOut", "TxtAddrHys",
                                  "TxtAddrK",  "TxtAddrKi", "TxtAddrKd"};
const char* const kFactorBoxes[] = {"TxtFactorPV", "TxtFactorCV", "TxtFactorOut", "TxtFactorHys",
                                    "TxtFactorK",  "TxtFactorKi", "TxtFactorKd"};

template <typename T>
T* Child(QWidget& form, const char* name) {
  T* w = form.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

QStringList MapTexts(QWidget& form, const char* const (&names)[7]) {
  QStringList texts;
  for (const char* name : names) texts << Child<QLineEdit>(form, name)->text();
  return texts;
}

void SetText(QWidget& form, const char* name, const QString& text) {
  if (auto* box = form.findChild<QComboBox*>(QString::fromLatin1(name))) {
    box->setEditText(text);
  } else {
    Child<QLineEdit>(form, name)->setText(text);
  }
}

void ClickOk(QWidget& form) { QTest::mouseClick(Child<QPushButton>(form, "CmdExit"), Qt::LeftButton); }

class ConfigFormTest : public ConfigGuiTest {};

// ---- What the dialog shows --------------------------------------------------

TEST_F(ConfigFormTest, DefaultsWithoutPresetFiles) {
  TConfigForm& form = CreateForm();
  EXPECT_EQ(form.windowTitle(), "Configuration");
  EXPECT_TRUE(form.isWindow());
  EXPECT_EQ(form.size(), QSize(760, 435));
  EXPECT_EQ(Child<QComboBox>(form, "ComboPort")->currentText(), "1");
  EXPECT_EQ(Child<QComboBox>(form, "ComboBaud")->currentText(), "9600");
  EXPECT_EQ(Child<QComboBox>(form, "ComboData")->currentText(), "8");
  EXPECT_EQ(Child<QComboBox>(form, "ComboParity")->currentText(), "N");
  EXPECT_EQ(Child<QComboBox>(form, "ComboStop")->currentText(), "1");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtPollTime")->text(), "1");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtResponseTime")->text(), "400");
  EXPECT_TRUE(Child<QRadioButton>(form, "OptRTU")->isChecked());
  EXPECT_FALSE(Child<QRadioButton>(form, "OptASCII")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(form, "ChkPort")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(form, "ChkSingleReg")->isChecked());
  EXPECT_EQ(Child<QComboBox>(form, "CboAddr")->currentText(), "1");
  auto* type = Child<QComboBox>(form, "CboType");
  EXPECT_EQ(type->currentText(), "");
  EXPECT_EQ(Items(type), QStringList{"Other"});
  EXPECT_EQ(MapTexts(form, kAddrBoxes), (QStringList{"1", "0", "2", "17", "13", "11", "12"}));
  EXPECT_EQ(MapTexts(form, kFactorBoxes), (QStringList{"1.000", "1.000", "0.100", "1.000", "0.100", "0.010", "1.000"}));
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFormTest, ListsCaptionsAndAccessibleNames) {
  TConfigForm& form = CreateForm();
  EXPECT_EQ(Items(Child<QComboBox>(form, "ComboPort")),
            (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
  EXPECT_EQ(Items(Child<QComboBox>(form, "ComboBaud")),
            (QStringList{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
  EXPECT_EQ(Items(Child<QComboBox>(form, "ComboData")), (QStringList{"7", "8"}));
  EXPECT_EQ(Items(Child<QComboBox>(form, "ComboParity")), (QStringList{"N", "E", "O"}));
  EXPECT_EQ(Items(Child<QComboBox>(form, "ComboStop")), (QStringList{"1", "2"}));
  QStringList addresses = Items(Child<QComboBox>(form, "CboAddr"));
  EXPECT_EQ(addresses.size(), 243);
  EXPECT_EQ(addresses.last(), "243");
  EXPECT_EQ(Child<QCheckBox>(form, "ChkPort")->text(), "Port Active");
  EXPECT_EQ(Child<QRadioButton>(form, "OptRTU")->text(), "Binary/RTU");
  EXPECT_EQ(Child<QRadioButton>(form, "OptASCII")->text(), "ASCII");
  EXPECT_EQ(Child<QCheckBox>(form, "ChkSingleReg")->text(), "Function 6 For Single Registers");
  EXPECT_EQ(Child<QPushButton>(form, "CmdExit")->text(), "OK");

  QStringList groups;
  for (auto* g : form.findChildren<QGroupBox*>()) groups << g->title();
  EXPECT_EQ(groups, (QStringList{"Serial Port", "Master", "Modbus", "Addresses"}));
  QStringList labels;
  for (auto* l : form.findChildren<QLabel*>()) labels << l->text();
  for (const char* text : {"Com Port", "BaudRate", "Data Bits", "Parity", "Stop Bits", "Poll Time 1-30 Sec",
                           "Response Time mSec", "Mode:", "Module", "Address", "Register", "Factor", "PV",
                           "SetPoint", "Out", "Hysterisis", "Kp", "Ki", "Kd"}) {
    EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
  }
  EXPECT_EQ(Child<QComboBox>(form, "ComboBaud")->accessibleName(), "BaudRate");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtPollTime")->accessibleName(), "Poll Time 1-30 Sec");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrHys")->accessibleName(), "Hysterisis Register");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtFactorCV")->accessibleName(), "SetPoint Factor");
}

TEST_F(ConfigFormTest, ShippedPresetFillsTheDefaultMap) {
  QFile shipped(QStringLiteral(KORVANE_SOURCE_PRESETS "/Novus N1100.Korvane"));
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
  WritePreset(QStringLiteral("Novus N1100"), shipped.readAll());
  TConfigForm& form = CreateForm();
  auto* type = Child<QComboBox>(form, "CboType");
  EXPECT_EQ(Items(type), (QStringList{"Novus N1100", "Other"}));
  EXPECT_EQ(type->currentText(), "Novus N1100");
  EXPECT_EQ(MapTexts(form, kAddrBoxes), (QStringList{"1", "0", "2", "17", "13", "11", "12"}));
  ClickOk(form);
  RegisterMap defaults;
  EXPECT_FLOAT_EQ(session_->settings.Map.FactorKi, defaults.FactorKi);
  EXPECT_FLOAT_EQ(session_->settings.Map.FactorOut, defaults.FactorOut);
  EXPECT_EQ(session_->settings.Map.AddrHys, defaults.AddrHys);
}

TEST_F(ConfigFormTest, PresetWithOneLine) {
  WritePreset(QStringLiteral("Novus N1100"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  auto* type = Child<QComboBox>(form, "CboType");
  EXPECT_EQ(Items(type), (QStringList{"Novus N1100", "Other"}));
  EXPECT_EQ(type->currentText(), "Novus N1100");
  EXPECT_EQ(type->currentIndex(), 0);
  EXPECT_EQ(MapTexts(form, kAddrBoxes), (QStringList{"5", "0", "2", "17", "13", "11", "12"}));
  EXPECT_EQ(MapTexts(form, kFactorBoxes), (QStringList{"0.5", "1", "0.1", "0.01", "1", "0.1", "1"}));
}

TEST_F(ConfigFormTest, PresetsWithoutTheStoredTypeLeaveTheInitialTexts) {
  WritePreset(QStringLiteral("Maker X"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  EXPECT_EQ(Child<QComboBox>(form, "CboType")->currentText(), "");
  EXPECT_EQ(MapTexts(form, kAddrBoxes), (QStringList{"1", "0", "2", "17", "13", "11", "12"}));
  EXPECT_EQ(MapTexts(form, kFactorBoxes), (QStringList{"0.1", "0.1", "0.1", "0.1", "0.1", "0.1", "0.1"}));
}

TEST_F(ConfigFormTest, AThirtySecondPresetIsIgnored) {
  for (int i = 1; i <= 32; ++i) WritePreset(QStringLiteral("Type%1").arg(i, 2, 10, QLatin1Char('0')), "");
  TConfigForm& form = CreateForm();
  QStringList items = Items(Child<QComboBox>(form, "CboType"));
  ASSERT_EQ(items.size(), 32);
  EXPECT_EQ(items.at(30), "Type31");
  EXPECT_EQ(items.last(), "Other");
  EXPECT_FALSE(items.contains("Type32"));
}

TEST_F(ConfigFormTest, PortDeviceLabelFollowsThePortBox) {
  TConfigForm& form = CreateForm();
  auto* label = Child<QLabel>(form, "LblPortDevice");
  EXPECT_EQ(label->text(), QString::fromStdString("COM1 → " + MissingDevice(1) + " (not present)"));
  MapPort(3, "/dev/null");
  auto* port = Child<QComboBox>(form, "ComboPort");
  port->setFocus();
  port->lineEdit()->selectAll();
  QTest::keyClicks(port, "3");
  EXPECT_EQ(label->text(), "COM3 → /dev/null");
  port->setCurrentIndex(9);
  EXPECT_EQ(label->text(), QString::fromStdString("COM10 → " + MissingDevice(10) + " (not present)"));
  port->setEditText("11");
  EXPECT_EQ(label->text(), "COM11 → none (only COM1 to COM10)");
}

// ---- Typing and picking -----------------------------------------------------

TEST_F(ConfigFormTest, TypingIntoAMapBoxSwitchesToOther) {
  WritePreset(QStringLiteral("Novus N1100"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  for (const char* name : {"TxtAddrKd", "TxtFactorCV"}) {
    auto* type = Child<QComboBox>(form, "CboType");
    type->setCurrentIndex(0);
    type->setEditText("Novus N1100");
    session_->settings.Map.ControllerType = "Novus N1100";
    auto* box = Child<QLineEdit>(form, name);
    QString before = box->text();
    box->setFocus();
    box->end(false);
    QTest::keyClick(box, Qt::Key_7);
    EXPECT_EQ(type->currentText(), "Other") << name;
    EXPECT_EQ(type->currentIndex(), 1) << name;
    EXPECT_EQ(session_->settings.Map.ControllerType, "Other") << name;
    EXPECT_EQ(box->text(), before + "7") << name;  // the digit stays, nothing refilled
  }
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "5");
}

TEST_F(ConfigFormTest, TabMovesOnWithoutSwitchingToOther) {
  WritePreset(QStringLiteral("Novus N1100"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  auto* box = Child<QLineEdit>(form, "TxtAddrPV");
  QTest::keyClick(box, Qt::Key_Tab);
  EXPECT_EQ(session_->settings.Map.ControllerType, "Novus N1100");
  EXPECT_EQ(Child<QComboBox>(form, "CboType")->currentText(), "Novus N1100");
}

TEST_F(ConfigFormTest, PickingAndTypingTheModule) {
  WritePreset(QStringLiteral("A"), "PV, 5, a, b, 0.5");
  WritePreset(QStringLiteral("B"), "PV, 6, a, b, 0.6");
  session_->settings.Map.ControllerType = "A";
  TConfigForm& form = CreateForm();
  auto* type = Child<QComboBox>(form, "CboType");
  emit type->textActivated(QStringLiteral("B"));  // as after picking "B"
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "5");  // the box text decides, still "A"
  type->setCurrentIndex(1);
  emit type->textActivated(type->currentText());
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "6");
  // Typing a name tries its file at every key.
  type->setFocus();
  type->lineEdit()->selectAll();
  QTest::keyClicks(type->lineEdit(), "Ax");
  EXPECT_EQ(errors_, (QStringList{"File not found"}));  // "A" read, "Ax" missing
  EXPECT_EQ(type->currentText(), "Ax");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "1");  // the pre-fill
  EXPECT_EQ(Child<QLineEdit>(form, "TxtFactorHys")->text(), "0.01");
}

// ---- OK -----------------------------------------------------------------

TEST_F(ConfigFormTest, OutOfRangePollAndResponseTimesAreKept) {
  TConfigForm& form = CreateForm();
  form.show();
  for (const char* poll : {"45", "0"}) {
    SetText(form, "TxtPollTime", QString::fromLatin1(poll));
    SetText(form, "TxtResponseTime", "2500");
    ClickOk(form);
    EXPECT_EQ(session_->settings.Poll.PollTime, 1) << poll;
    EXPECT_EQ(session_->settings.Poll.ResponseTime, 400) << poll;
    EXPECT_EQ(pollTimer_.interval(), 1000);
    EXPECT_FALSE(form.isVisible());
    form.show();
  }
  SetText(form, "TxtPollTime", "3");
  SetText(form, "TxtResponseTime", "1500");
  ClickOk(form);
  EXPECT_EQ(session_->settings.Poll.PollTime, 3);
  EXPECT_EQ(session_->settings.Poll.ResponseTime, 1500);
  EXPECT_EQ(pollTimer_.interval(), 3000);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFormTest, NineDataBitsAndMarkParityAreKept) {
  TConfigForm& form = CreateForm();
  SetText(form, "ComboData", "9");
  SetText(form, "ComboParity", "M");
  ClickOk(form);
  EXPECT_EQ(session_->settings.Link.DataBits, 8);
  EXPECT_EQ(session_->settings.Link.ParityLetter, "N");
  SetText(form, "ComboData", "7");
  SetText(form, "ComboParity", "E");
  ClickOk(form);
  EXPECT_EQ(session_->settings.Link.DataBits, 7);
  EXPECT_EQ(session_->settings.Link.ParityLetter, "E");
}

TEST_F(ConfigFormTest, OkAppliesTheMapAndAddressAndHides) {
  TConfigForm& form = CreateForm();
  form.show();
  session_->state.ImageSlot = 5;
  auto* type = Child<QComboBox>(form, "CboType");
  type->setCurrentIndex(type->count() - 1);
  SetText(form, "TxtAddrSP", "30");
  SetText(form, "TxtFactorOut", "0.5");
  SetText(form, "CboAddr", "17");
  SetText(form, "ComboBaud", "19200");
  Child<QRadioButton>(form, "OptASCII")->setChecked(true);
  Child<QCheckBox>(form, "ChkSingleReg")->setChecked(true);
  ClickOk(form);
  EXPECT_EQ(session_->settings.Map.ControllerType, "Other");
  EXPECT_EQ(session_->settings.Map.AddrSP, 30);
  EXPECT_FLOAT_EQ(session_->settings.Map.FactorOut, 0.5f);
  EXPECT_EQ(session_->settings.Link.SlaveAddress, 17);
  EXPECT_EQ(session_->settings.Link.Baud, 19200);
  EXPECT_FALSE(session_->settings.Link.RtuMode);
  EXPECT_TRUE(session_->settings.Link.UseFunction6);
  EXPECT_EQ(session_->settings.Link.PortNumber, 1);
  EXPECT_EQ(session_->state.ImageSlot, 1);
  EXPECT_EQ(displayRegsCalls_, 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(session_->control.PortActive());
  // Shown again: the stored values, the map as "Other" shows it.
  form.show();
  EXPECT_EQ(Child<QComboBox>(form, "CboAddr")->currentText(), "17");
  EXPECT_TRUE(Child<QRadioButton>(form, "OptASCII")->isChecked());
  EXPECT_EQ(Child<QLineEdit>(form, "TxtFactorOut")->text(), " 0.500");
  EXPECT_EQ(Child<QLineEdit>(form, "TxtFactorPV")->text(), "   1.000");
}

TEST_F(ConfigFormTest, ClosingWithoutOkAppliesNothing) {
  TConfigForm& form = CreateForm();
  form.show();
  SetText(form, "CboAddr", "17");
  form.close();
  EXPECT_EQ(session_->settings.Link.SlaveAddress, 1);
  form.show();
  EXPECT_EQ(Child<QComboBox>(form, "CboAddr")->currentText(), "1");
}

TEST_F(ConfigFormTest, EmptyModuleBox) {
  WritePreset(QStringLiteral("Maker X"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  EXPECT_EQ(Child<QComboBox>(form, "CboType")->currentText(), "");
  ClickOk(form);
  EXPECT_EQ(session_->settings.Map.ControllerType, "");
  EXPECT_EQ(session_->settings.Map.AddrPV, 1);
  EXPECT_FLOAT_EQ(session_->settings.Map.FactorPV, 0.1f);
  // Later activations leave the map boxes as they are.
  SetText(form, "TxtAddrPV", "42");
  form.show();
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "42");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFormTest, PortThatCannotBeOpened) {
  TConfigForm& form = CreateForm(/*realMessageBoxes=*/true);
  form.show();
  session_->state.ImageSlot = 4;
  SetText(form, "ComboPort", "3");
  SetText(form, "ComboBaud", "4800");
  SetText(form, "CboAddr", "17");
  SetText(form, "TxtAddrPV", "44");
  Child<QCheckBox>(form, "ChkPort")->setChecked(true);

  QString boxText;
  QString boxTitle;
  // The critical box is modal: read it and close it from the event loop.
  std::function<void()> closeBox = [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      QTimer::singleShot(10, closeBox);
      return;
    }
    boxText = box->text();
    boxTitle = box->windowTitle();
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    box->accept();
  };
  QTimer::singleShot(10, closeBox);
  ClickOk(form);
  EXPECT_EQ(boxText, "Cannot connect to COM3.");
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(session_->control.PortActive());
  // Steps before the open took effect, the ones after it did not.
  EXPECT_EQ(session_->settings.Link.PortNumber, 3);
  EXPECT_EQ(session_->settings.Link.Baud, 4800);
  EXPECT_EQ(session_->settings.Link.SlaveAddress, 1);
  EXPECT_EQ(session_->settings.Map.AddrPV, 1);
  EXPECT_EQ(session_->settings.Map.ControllerType, "Novus N1100");
  EXPECT_EQ(session_->state.ImageSlot, 4);
  EXPECT_EQ(displayRegsCalls_, 0);
  // The dialog stays as the operator left it.
  EXPECT_EQ(Child<QLineEdit>(form, "TxtAddrPV")->text(), "44");
  EXPECT_EQ(Child<QComboBox>(form, "CboAddr")->currentText(), "17");
}

TEST_F(ConfigFormTest, RefusedPortSaysWhyBesideThePortBoxUntilItOpens) {
  TConfigForm& form = CreateForm();
  form.show();
  const std::string plain = programDir_.filePath("plain").toStdString();
  QFile(QString::fromStdString(plain)).open(QIODevice::WriteOnly);
  MapPort(3, plain);
  SetText(form, "ComboPort", "3");
  Child<QCheckBox>(form, "ChkPort")->setChecked(true);
  ClickOk(form);
  EXPECT_EQ(errors_, QStringList{"Cannot connect to COM3."});
  const QString label = Child<QLabel>(form, "LblPortDevice")->text();
  EXPECT_EQ(label, QString::fromStdString("COM3 → " + plain + "\nNot a terminal")) << label.toStdString();
  EXPECT_TRUE(Child<QLabel>(form, "LblPortDevice")->toolTip().startsWith("This is no serial device"));

  test::PtyPair pty;
  MapPort(3, pty.SlavePath());
  ClickOk(form);
  EXPECT_TRUE(session_->control.PortActive());
  EXPECT_EQ(Child<QLabel>(form, "LblPortDevice")->text(), QString::fromStdString("COM3 → " + pty.SlavePath()));
  EXPECT_TRUE(Child<QLabel>(form, "LblPortDevice")->toolTip().isEmpty());
  session_->control.CloseComm();
}

TEST_F(ConfigFormTest, NetworkMappingShowsItsAddressOrWhyTheTextIsNone) {
  TConfigForm& form = CreateForm();
  auto* label = Child<QLabel>(form, "LblPortDevice");
  MapPort(4, "tcp://192.0.2.10:502");
  MapPort(5, "rtu+tcp://gw.example:4001");
  MapPort(6, "tcp://192.0.2.10");
  SetText(form, "ComboPort", "4");
  EXPECT_EQ(label->text(), "COM4 → Modbus TCP 192.0.2.10:502");
  SetText(form, "ComboPort", "5");
  EXPECT_EQ(label->text(), "COM5 → RTU over TCP gw.example:4001");
  SetText(form, "ComboPort", "6");
  EXPECT_EQ(label->text(), "COM6 → tcp://192.0.2.10\nBad address: no port");
  EXPECT_EQ(label->accessibleDescription(),
            "Bad address: no port: Write the mapping as tcp://HOST:PORT or rtu+tcp://HOST:PORT.");
}

TEST_F(ConfigFormTest, ARefusedNetworkConnectionIsShownOnTheDeviceLineAfterOk) {
  TConfigForm& form = CreateForm();
  form.show();
  const std::string port = std::to_string(UnusedLoopbackPort());
  MapPort(3, "tcp://127.0.0.1:" + port);
  SetText(form, "ComboPort", "3");
  Child<QCheckBox>(form, "ChkPort")->setChecked(true);
  ClickOk(form);  // returns at once: the connect runs in the background
  EXPECT_TRUE(errors_.isEmpty());
  EXPECT_TRUE(session_->control.PortActive());
  form.show();
  auto* label = Child<QLabel>(form, "LblPortDevice");
  const QString expected = QString::fromStdString("COM3 → Modbus TCP 127.0.0.1:" + port + "\nConnection refused");
  for (int i = 0; i < 40 && label->text() != expected; ++i) Pump(50);
  EXPECT_EQ(label->text(), expected);
  EXPECT_TRUE(label->toolTip().startsWith("Nothing listens on that port"));
  EXPECT_TRUE(label->accessibleDescription().startsWith("Connection refused: "));
  // Pointed elsewhere, the name has no outcome yet: the old reason goes.
  MapPort(3, "tcp://127.0.0.1:1502");
  Pump(400);
  EXPECT_EQ(label->text(), "COM3 → Modbus TCP 127.0.0.1:1502");
  session_->control.CloseComm();
}

// ---- The controller list --------------------------------------------------

QStringList RowTexts(QTableWidget* list, int row) {
  QStringList texts;
  for (int column = 0; column < list->columnCount(); ++column) texts << list->item(row, column)->text();
  return texts;
}

TEST_F(ConfigFormTest, FirstRowOfTheListIsTheAddressAndModuleBoxes) {
  WritePreset(QStringLiteral("Novus N1100"), "PV, 5, a, b, 0.5");
  TConfigForm& form = CreateForm();
  auto* list = Child<QTableWidget>(form, "ControllerList");
  EXPECT_EQ(list->accessibleName(), "Controllers");
  EXPECT_EQ(Child<QPushButton>(form, "AddController")->accessibleName(), "Add controller");
  EXPECT_EQ(Child<QPushButton>(form, "RemoveController")->accessibleName(), "Remove controller");
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(RowTexts(list, 0), (QStringList{"Controller 1", "1", "Novus N1100"}));
  SetText(form, "CboAddr", "17");
  Child<QComboBox>(form, "CboType")->setCurrentIndex(1);  // "Other"
  EXPECT_EQ(RowTexts(list, 0), (QStringList{"Controller 1", "17", "Other"}));
  EXPECT_FALSE(list->item(0, 1)->flags() & Qt::ItemIsEditable);  // edited in the boxes
  list->selectRow(0);
  EXPECT_FALSE(Child<QPushButton>(form, "RemoveController")->isEnabled());
  EXPECT_TRUE(Child<QLabel>(form, "LineTimeWarning")->isHidden());
}

// Rows added with Add and edited in the table; OK refuses a bad list with the
// row's name, as it shows its other refusals, and applies nothing.
TEST_F(ConfigFormTest, AddedRowsAreCheckedAtOkAndStored) {
  QFile shipped(QStringLiteral(KORVANE_SOURCE_PRESETS "/Novus N1100.Korvane"));
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
  WritePreset(QStringLiteral("Novus N1100"), shipped.readAll());
  WritePreset(QStringLiteral("Float"), "PV, 4096, C, process, 0.5\r\nPV register, f32\r\n");
  const struct {
    const char* what;
    int row, column;
    QVariant value;
    QString error;
  } cases[] = {
      {"as added", 1, 0, "Controller 2", ""},
      {"another preset", 2, 2, "Float", ""},
      {"repeated address", 2, 1, 2, "Row 3 (Controller 3): address 2 is already used by row 2 (Controller 2)"},
      {"repeated name", 1, 0, "Controller 1", "Row 2 (Controller 1): the name is already used by row 1"},
      {"preset not listed", 1, 2, "Gone", "Row 2 (Controller 2): preset \"Gone\" is not in the preset list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    errors_.clear();
    session_->settings.Others.clear();
    TConfigForm& form = CreateForm();
    form.show();
    auto* list = Child<QTableWidget>(form, "ControllerList");
    for (int i = 0; i < 2; ++i) QTest::mouseClick(Child<QPushButton>(form, "AddController"), Qt::LeftButton);
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(RowTexts(list, 2), (QStringList{"Controller 3", "3", "Novus N1100"}));
    EXPECT_TRUE(Child<QPushButton>(form, "RemoveController")->isEnabled());  // the added row is selected
    list->item(c.row, c.column)->setData(Qt::EditRole, c.value);
    ClickOk(form);
    EXPECT_EQ(errors_, c.error.isEmpty() ? QStringList{} : QStringList{c.error});
    EXPECT_EQ(form.isVisible(), !c.error.isEmpty());
    const std::vector<LineController>& others = session_->settings.Others;
    ASSERT_EQ(others.size(), c.error.isEmpty() ? 2u : 0u);
    if (c.error.isEmpty()) {
      EXPECT_EQ(others[0].Address, 2);
      EXPECT_EQ(others[1].Name, "Controller 3");
      EXPECT_EQ(others[1].Map.ControllerType, list->item(2, 2)->text().toStdString());
      EXPECT_EQ(others[1].Map.AddrPV, c.value == "Float" ? 4096 : 1);
    }
  }
}

// The warning stands while one poll of every row's read plan keeps the line
// busy longer than the poll period; the default map's read of 20 registers
// takes about 0.24 s at 2400 baud.
TEST_F(ConfigFormTest, LineTimeWarningFollowsRowsBaudAndPollPeriod) {
  WritePreset(QStringLiteral("Novus N1100"), "PV, 1, C, process, 1");
  TConfigForm& form = CreateForm();
  form.show();
  auto* warning = Child<QLabel>(form, "LineTimeWarning");
  const struct {
    int rows;
    const char* baud;
    const char* poll;
    QString text;
  } cases[] = {
      {1, "2400", "1", ""},
      {5, "2400", "1", "5 controllers need about 1.2 s per poll at 2400 baud; the poll period is 1 s"},
      {5, "9600", "1", ""},
      {5, "2400", "2", ""},
      {9, "2400", "2", "9 controllers need about 2.2 s per poll at 2400 baud; the poll period is 2 s"},
      {4, "2400", "1", ""},
      {5, "2400", "1", "5 controllers need about 1.2 s per poll at 2400 baud; the poll period is 1 s"},
  };
  auto* list = Child<QTableWidget>(form, "ControllerList");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    while (list->rowCount() < c.rows) QTest::mouseClick(Child<QPushButton>(form, "AddController"), Qt::LeftButton);
    while (list->rowCount() > c.rows) {
      list->selectRow(list->rowCount() - 1);
      QTest::mouseClick(Child<QPushButton>(form, "RemoveController"), Qt::LeftButton);
    }
    SetText(form, "ComboBaud", QString::fromLatin1(c.baud));
    SetText(form, "TxtPollTime", QString::fromLatin1(c.poll));
    EXPECT_EQ(warning->text(), c.text);
    EXPECT_EQ(warning->accessibleName(), c.text);
    EXPECT_EQ(warning->isVisible(), !c.text.isEmpty());
  }
  ClickOk(form);  // a warning only: OK applies
  EXPECT_EQ(session_->settings.Others.size(), 4u);
  EXPECT_TRUE(errors_.isEmpty());
}

// ---- Activation ---------------------------------------------------------

TEST_F(ConfigFormTest, ActivationFromAnotherProgramWindowRefills) {
  TConfigForm& form = CreateForm();
  QWidget mainWindow;
  mainWindow.setWindowTitle("main");
  mainWindow.resize(200, 100);
  mainWindow.show();
  mainWindow.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

  SetText(form, "ComboBaud", "4800");  // not applied
  session_->settings.Link.SlaveAddress = 9;     // changed elsewhere
  mainWindow.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(Child<QComboBox>(form, "ComboBaud")->currentText(), "9600");
  EXPECT_EQ(Child<QComboBox>(form, "CboAddr")->currentText(), "9");
}

}  // namespace
}  // namespace korvane::test
