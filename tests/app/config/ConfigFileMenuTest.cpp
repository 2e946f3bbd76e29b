// File > Save Configuration and File > Load Configuration through the
// functions behind the file dialogs, with the main window's four entry boxes
// as real line edits.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/config/ConfigFileMenu.h"
#include "support/ScopedEnv.h"

namespace korvane::configfile {
namespace {

const QByteArray kExample =
    "1\r\n9600\r\n8\r\nN\r\n1\r\n1\r\nNovus N1100\r\n0\r\n1\r\n1\r\n1\r\n2\r\n0.100000001490116\r\n17\r\n1\r\n"
    "13\r\n0.100000001490116\r\n11\r\n0.00999999977648258\r\n12\r\n1\r\n75\r\n1.3\r\n0.5\r\n10\r\n";

class ConfigFileMenuTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QByteArray Read(const QString& name) const {
    QFile f(Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
  }
  void Write(const QString& name, const QByteArray& bytes) const {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  void Fill(const QString& sp, const QString& k, const QString& ki, const QString& kd) {
    setPt_.setText(sp);
    k_.setText(k);
    ki_.setText(ki);
    kd_.setText(kd);
  }
  bool Save(const QString& path) {
    return SaveConfigurationTo(nullptr, path, settings_, &setPt_, &k_, &ki_, &kd_, report_);
  }
  bool Load(const QString& path) {
    return LoadConfigurationFrom(nullptr, path, settings_, &setPt_, &k_, &ki_, &kd_, report_);
  }

  QTemporaryDir dir_;
  Settings settings_;
  QLineEdit setPt_, k_, ki_, kd_;
  QStringList errors_;
  ErrorReporter report_ = [this](QWidget*, const QString& message) { errors_.append(message); };
};

TEST_F(ConfigFileMenuTest, SaveWritesTheKnownTwentyFiveLines) {
  Fill("  75.000", "   1.300", "   0.500", "  10.000");  // as a poll shows them
  ASSERT_TRUE(Save(Path("cfg")));
  EXPECT_EQ(Read("cfg"), kExample);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFileMenuTest, LoadThenSaveGivesTheSameBytes) {
  Write("cfg", kExample);
  settings_.Link.Baud = 1200;
  settings_.Map.ControllerType = "Other";
  ASSERT_TRUE(Load(Path("cfg")));
  EXPECT_EQ(setPt_.text(), "75");
  EXPECT_EQ(kd_.text(), "10");
  ASSERT_TRUE(Save(Path("again")));
  EXPECT_EQ(Read("again"), kExample);
}

// Each listed controller's PID form comes from its type's preset, as the
// first controller's does; a type without a preset keeps the default form.
TEST_F(ConfigFileMenuTest, LoadedControllersTakeTheFormOfTheirPresets) {
  QTemporaryDir dataHome;
  test::ScopedEnv env("XDG_DATA_HOME", dataHome.path().toStdString());
  ASSERT_TRUE(QDir().mkpath(dataHome.filePath("korvane/presets")));
  QFile preset(dataHome.filePath("korvane/presets/Gain Maker.Korvane"));
  ASSERT_TRUE(preset.open(QIODevice::WriteOnly));
  preset.write("K, 13, gain, x, 1\r\nKi, 11, s, y, 1\r\n");
  preset.close();
  const struct {
    const char* type;
    ProportionalUnit k;
    IntegralUnit ki;
  } rows[] = {
      {"Gain Maker", ProportionalUnit::Gain, IntegralUnit::TimeSeconds},
      {"No Such Maker", ProportionalUnit::BandPercent, IntegralUnit::RepeatsPerMinute},
      {"Other", ProportionalUnit::BandPercent, IntegralUnit::RepeatsPerMinute},
  };
  Settings saved;
  std::int32_t address = 2;
  for (const auto& row : rows) {
    RegisterMap map;
    map.ControllerType = row.type;
    saved.Others.push_back({row.type, address++, map});
  }
  settings_ = saved;
  Fill("75", "1.3", "0.5", "10");
  ASSERT_TRUE(Save(Path("cfg")));
  settings_ = Settings{};
  ASSERT_TRUE(Load(Path("cfg")));
  ASSERT_EQ(settings_.Others.size(), std::size(rows));
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].type);
    EXPECT_EQ(settings_.Others[i].Map.Form.K, rows[i].k);
    EXPECT_EQ(settings_.Others[i].Map.Form.Ki, rows[i].ki);
  }
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFileMenuTest, ShortFileLoadsTheMissingLinesAsEmpty) {
  Write("cfg", "4\r\n19200\r\n");
  Fill("1", "2", "3", "4");
  ASSERT_TRUE(Load(Path("cfg")));
  EXPECT_EQ(settings_.Link.PortNumber, 4);
  EXPECT_EQ(settings_.Link.Baud, 19200);
  EXPECT_EQ(settings_.Link.DataBits, 0);
  EXPECT_EQ(settings_.Link.ParityLetter, "");
  EXPECT_EQ(settings_.Map.ControllerType, "");
  EXPECT_EQ(settings_.Map.FactorKd, 0.0f);
  EXPECT_EQ(setPt_.text(), "");
  EXPECT_EQ(kd_.text(), "");
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFileMenuTest, BaudWithTrailingLetterAndLettersOnlyLine) {
  QByteArray file = kExample;
  file.replace("9600", "12x");
  file.replace("\r\n8\r\n", "\r\nabc\r\n");
  Write("cfg", file);
  ASSERT_TRUE(Load(Path("cfg")));
  EXPECT_EQ(settings_.Link.Baud, 12);
  EXPECT_EQ(settings_.Link.DataBits, 0);
  EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(ConfigFileMenuTest, EmptyEntryBoxLeavesTheExistingFileUnchanged) {
  Write("cfg", kExample);
  Fill("75", "", "0.5", "10");
  EXPECT_FALSE(Save(Path("cfg")));
  EXPECT_EQ(errors_, QStringList{"'' is not a valid floating point value"});
  EXPECT_EQ(Read("cfg"), kExample);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(ConfigFileMenuTest, SaveRightAfterStartReportsTheEmptyBox) {
  EXPECT_FALSE(Save(Path("new")));
  EXPECT_EQ(errors_, QStringList{"'' is not a valid floating point value"});
  EXPECT_FALSE(QFile::exists(Path("new")));
}

TEST_F(ConfigFileMenuTest, ReadOnlyTargetIsAccessDenied) {
  // Root ignores permission bits, so the file is made read-only the way an
  // operator would (no write bit for anybody); it is refused either way.
  Write("cfg", "keep");
  QFile::setPermissions(Path("cfg"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  Fill("75", "1.3", "0.5", "10");
  EXPECT_FALSE(Save(Path("cfg")));
  EXPECT_EQ(errors_, QStringList{"File access denied"});
  EXPECT_EQ(Read("cfg"), "keep");
  // A folder in the place of the file is refused the same way.
  ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
  EXPECT_FALSE(Save(Path("sub")));
  EXPECT_EQ(errors_.last(), "File access denied");
}

TEST_F(ConfigFileMenuTest, AFileThatCannotBeOpenedIsReportedAndLoadsNothing) {
  ASSERT_TRUE(QFile::link("loop", Path("loop")));  // a link to itself
  const std::pair<QString, QString> cases[] = {{"none", "File not found"}, {"loop", "Invalid filename"}};
  for (const auto& [name, message] : cases) {
    errors_.clear();
    settings_.Link.Baud = 4711;
    setPt_.setText("5");
    EXPECT_FALSE(Load(Path(name)));
    EXPECT_EQ(errors_, QStringList{message});
    EXPECT_EQ(settings_.Link.Baud, 4711);
    EXPECT_EQ(setPt_.text(), "5");
  }
}

}  // namespace
}  // namespace korvane::configfile
