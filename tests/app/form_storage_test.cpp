#include "app/form_storage.h"
#include "app/settings_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <memory>

#include "app/handler_guard.h"
#include "common/test_support.h"
#include "error_log_watch.h"
#include "support/error.h"

namespace waymock::app {
namespace {

// A few controls of each kind, named as the main window names them.
struct TestForm {
  QWidget window;
  QSpinBox* efLnDeg = new QSpinBox(&window);
  QDoubleSpinBox* efAlt = new QDoubleSpinBox(&window);
  QCheckBox* cbUDP = new QCheckBox(&window);
  QCheckBox* cbGPGGA = new QCheckBox(&window);
  QComboBox* efLtDir = new QComboBox(&window);
  QComboBox* cmbCom = new QComboBox(&window);
  QLineEdit* efIp = new QLineEdit("0.0.0.0", &window);

  TestForm() {
    efLnDeg->setRange(0, 179);
    efAlt->setRange(0, 2147483647);
    cbGPGGA->setChecked(true);
    efLtDir->addItems({"North", "South"});
    efLtDir->setCurrentIndex(0);
    cmbCom->addItems({"/dev/ttyS0", "/dev/ttyUSB0"});
    cmbCom->setCurrentIndex(-1);
  }
  std::vector<StoredValue> values() {
    return {{"efLnDeg_Value", efLnDeg, StoredKind::WholeSpin},
            {"efAlt_Value", efAlt, StoredKind::DecimalSpin},
            {"cbUDP_Checked", cbUDP, StoredKind::Check},
            {"cbGPGGA_Checked", cbGPGGA, StoredKind::Check},
            {"efLtDir_ItemIndex", efLtDir, StoredKind::ComboIndex},
            {"cmbCom_ItemIndex", cmbCom, StoredKind::ComboIndex},
            {"efIp_Text", efIp, StoredKind::LineText}};
  }
};

class FormStorageTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  QString file = QString::fromStdString((dir / "waymock.conf").string());

  QString stored(const QString& name) const {
    QSettings settings(file, QSettings::IniFormat);
    return settings.value("TfrmMain/" + name).toString();
  }
  void store(std::initializer_list<std::pair<QString, QString>> values) const {
    QSettings settings(file, QSettings::IniFormat);
    for (const auto& [name, value] : values) settings.setValue("TfrmMain/" + name, value);
  }
};

TEST_F(FormStorageTest, SavesStringsWithAPointAndRestoresThemInADecimalCommaLocale) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << test::kDecimalCommaLocale << " is not installed";
  {
    TestForm form;
    form.efLnDeg->setValue(11);
    form.efAlt->setValue(0.5);
    form.cbUDP->setChecked(true);
    form.efLtDir->setCurrentIndex(1);
    form.efIp->setText(" 10.0.0.2 ");
    FormStorage storage(form.window, form.values(), file);
    EXPECT_TRUE(storage.save());
  }
  const std::pair<const char*, const char*> expected[] = {{"efLnDeg_Value", "11"},
                                                          {"efAlt_Value", "0.5"},
                                                          {"cbUDP_Checked", "True"},
                                                          {"cbGPGGA_Checked", "True"},
                                                          {"efLtDir_ItemIndex", "1"},
                                                          {"cmbCom_ItemIndex", "-1"},
                                                          {"efIp_Text", "10.0.0.2"},
                                                          {"FormVersion", "0"},
                                                          {"Flags", "0"},
                                                          {"ShowCmd", "2"},
                                                          {"MinMaxPos", "-1,-1,-1,-1"},
                                                          {"Visible", "0"}};
  for (const auto& [name, text] : expected) EXPECT_EQ(stored(name), text) << name;
  QSettings settings(file, QSettings::IniFormat);
  settings.beginGroup("TfrmMain");
  EXPECT_EQ(settings.childKeys().size(), 9 + 7);
  for (const QString& key : settings.childKeys()) {
    EXPECT_EQ(settings.value(key).typeId(), QMetaType::QString) << key.toStdString();
  }

  TestForm again;
  FormStorage storage(again.window, again.values(), file);
  EXPECT_TRUE(storage.restore());
  EXPECT_EQ(again.efLnDeg->value(), 11);
  EXPECT_EQ(again.efAlt->value(), 0.5);
  EXPECT_TRUE(again.cbUDP->isChecked());
  EXPECT_EQ(again.efLtDir->currentIndex(), 1);
  EXPECT_EQ(again.cmbCom->currentIndex(), -1);
  EXPECT_EQ(again.efIp->text(), "10.0.0.2");
}

TEST_F(FormStorageTest, StoredTextThatDoesNotFitItsKind) {
  struct Case {
    const char* name;
    const char* text;
    std::function<void(TestForm&)> check;
  };
  const Case cases[] = {
      {"efLtDir_ItemIndex", "South", [](TestForm& f) { EXPECT_EQ(f.efLtDir->currentIndex(), 0); }},
      {"cbUDP_Checked", "TRUE", [](TestForm& f) { EXPECT_TRUE(f.cbUDP->isChecked()); }},
      {"cbGPGGA_Checked", "yes", [](TestForm& f) { EXPECT_TRUE(f.cbGPGGA->isChecked()); }},
      {"cmbCom_ItemIndex", "2", [](TestForm& f) { EXPECT_EQ(f.cmbCom->currentIndex(), -1); }},
      {"cmbCom_ItemIndex", " 1 ", [](TestForm& f) { EXPECT_EQ(f.cmbCom->currentIndex(), 1); }},
      {"efAlt_Value", "0,5", [](TestForm& f) { EXPECT_EQ(f.efAlt->value(), 7); }},
      {"efLnDeg_Value", "1e300", [](TestForm& f) { EXPECT_EQ(f.efLnDeg->value(), 179); }},
      {"efIp_Text", " 192.168.1.7\t",
       [](TestForm& f) { EXPECT_EQ(f.efIp->text(), "192.168.1.7"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "=" + c.text);
    TestForm form;
    form.efLtDir->setCurrentIndex(1);
    form.cmbCom->setCurrentIndex(0);
    form.efAlt->setValue(7);
    store({{c.name, c.text}});
    FormStorage storage(form.window, form.values(), file);
    storage.restore();
    c.check(form);
    storage.save();  // before the form goes, so the next case starts from a whole file
  }
}

TEST_F(FormStorageTest, RestoresOnceAndSavesOnDestructionWhenNeverSaved) {
  TestForm form;
  store({{"efLnDeg_Value", "12"}});
  {
    FormStorage storage(form.window, form.values(), file);
    EXPECT_TRUE(storage.restore());
    EXPECT_EQ(form.efLnDeg->value(), 12);
    form.efLnDeg->setValue(3);
    EXPECT_FALSE(storage.restore());
    EXPECT_EQ(form.efLnDeg->value(), 3);
  }
  EXPECT_EQ(stored("efLnDeg_Value"), "3");
  EXPECT_EQ(stored("Visible"), "1");
}

TEST_F(FormStorageTest, RestoresThePositionOnlyAtTheSamePixelsPerInch) {
  TestForm form;
  form.window.setFixedSize(300, 200);
  form.window.move(30, 40);
  form.window.show();
  FormStorage(form.window, form.values(), file).save();
  QSettings written(file, QSettings::IniFormat);
  written.beginGroup("TfrmMain");
  const QStringList sizedNames = written.childKeys().filter("NormPos(");
  ASSERT_EQ(sizedNames.size(), 1);
  const QString sized = sizedNames.front().mid(7);  // "(WxH)" of this screen
  const QRect frame = form.window.frameGeometry();  // the platform may add a frame
  EXPECT_EQ(stored("NormPos"),
            QString("30,40,%1,%2").arg(30 + frame.width()).arg(40 + frame.height()));
  const QString ppi = stored("PixelsPerInch");
  struct Case {
    const char* what;
    QString ppi, normPos;
    bool restored;
  };
  const Case cases[] = {{"as saved", ppi, stored("NormPos"), true},
                        {"other pixels per inch", ppi + "0", stored("NormPos"), false},
                        {"on no screen", ppi, "-9000,-9000,-8700,-8800", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    store({{"PixelsPerInch", c.ppi}, {"NormPos", c.normPos}, {"NormPos" + sized, c.normPos}});
    TestForm again;
    again.window.setFixedSize(300, 200);
    FormStorage storage(again.window, again.values(), file);
    storage.restore();
    EXPECT_EQ(storage.positionRestored(), c.restored);
    EXPECT_EQ(again.window.pos() == QPoint(30, 40), c.restored);
  }
}

// Each error is one error-log line and the close goes on; a link another user
// planted is not written through, so the file it names stays as it was.
TEST_F(FormStorageTest, ASaveErrorGoesToTheErrorLogAndTheCloseGoesOn) {
  test::writeFile(dir / "plain-file", "");
  const auto victim = dir / "profile";
  test::writeFile(victim, "keep\n");
  const auto planted = dir / "planted.conf";
  std::filesystem::create_symlink(victim, planted);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);
  }
  struct Case {
    std::string file;
    std::string reason;
  };
  std::vector<Case> cases = {{(dir / "plain-file" / "waymock.conf").string(), ""}};
  if (root)
    cases.push_back({planted.string(), ", Symbolic link owned by another user, not followed"});
  for (const Case& c : cases) {
    const test::ErrorLogWatch log;
    TestForm form;
    FormStorage storage(form.window, form.values(), QString::fromStdString(c.file));
    EXPECT_FALSE(storage.save());
    EXPECT_EQ(log.lines(), std::vector<std::string>{"FormStorage Cannot save the settings to " +
                                                    c.file + (c.reason.empty() ? "." : c.reason)});
  }
  EXPECT_EQ(test::readFile(victim), "keep\n");
}

// Settings added beyond the form's own are kept apart from its group, in the
// Advanced page's; a value an earlier version kept in "Extra" is read once.
TEST_F(FormStorageTest, ExtraValuesAreKeptInTheAdvancedGroup) {
  const auto withExtra = [](TestForm& form) {
    auto values = form.values();
    values.push_back({"efExtra_Value", form.efLnDeg, StoredKind::WholeSpin, true});
    return values;
  };
  const auto restored = [&] {
    TestForm form;
    FormStorage storage(form.window, withExtra(form), file);
    storage.restore();
    return form.efLnDeg->value();
  };
  {
    QSettings old(file, QSettings::IniFormat);
    old.setValue("Extra/efExtra_Value", "7");
  }
  EXPECT_EQ(restored(), 7) << "from the former group";

  TestForm form;
  form.efLnDeg->setValue(4);
  FormStorage(form.window, withExtra(form), file).save();
  QSettings settings(file, QSettings::IniFormat);
  EXPECT_EQ(settings.value("Advanced/efExtra_Value").toString(), "4");
  EXPECT_FALSE(settings.contains("TfrmMain/efExtra_Value"));
  EXPECT_FALSE(settings.contains("Extra/efExtra_Value")) << "dropped once carried over";

  settings.setValue("Advanced/efExtra_Value", "9");
  settings.sync();
  EXPECT_EQ(restored(), 9);
}

TEST(SettingsTable, KeepsTheFormsThirtyThreeValuesUnderTheirNamesInOrder) {
  std::vector<std::string> kept;
  std::size_t extra = 0;
  for (const SettingField& field : kSettingFields) {
    if (field.extra) {
      ++extra;
    } else if (field.storedKey != nullptr) {
      kept.emplace_back(field.storedKey);
    }
  }
  EXPECT_EQ(extra, 30u) << "the Advanced page's";
  ASSERT_EQ(kept.size(), 33u);
  EXPECT_EQ(kept.front(), "efAlt_Value");
  EXPECT_EQ(kept[13], "efLtDir_ItemIndex");
  EXPECT_EQ(kept.back(), "cmbBaudRate_ItemIndex");

  QWidget window;
  const QCheckBox check(&window);
  const QSpinBox whole(&window);
  EXPECT_TRUE(holdsKind(check, StoredKind::Check));
  EXPECT_FALSE(holdsKind(check, StoredKind::LineText));
  EXPECT_TRUE(holdsKind(whole, StoredKind::WholeSpin));
  EXPECT_FALSE(holdsKind(whole, StoredKind::DecimalSpin));
}

}  // namespace
}  // namespace waymock::app
