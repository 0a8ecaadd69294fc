#include "app/satellites_dialog.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <string>

#include "app/sky_plot_widget.h"
#include "common/test_support.h"
#include "error_log_watch.h"
#include "generator/nmea_generator.h"

namespace waymock::app {
namespace {

using generator::TTarnNMEAGenerator;

struct Sat {
  bool active;
  int elevation, azimuth, snr;
  friend bool operator==(const Sat&, const Sat&) = default;
};

class SatellitesDialog : public ::testing::Test {
 protected:
  // Shows the dialog as its owner would, without a modal loop.
  void open() {
    dialog = std::make_unique<TfrmSatellites>(gen, file.string());
    dialog->show();
    list = dialog->findChild<QTableWidget*>("lvSat");
    ASSERT_NE(list, nullptr);
  }
  Sat generatorSat(int prn) const {
    const auto* s = gen.GetSatellites()[static_cast<std::size_t>(prn)];
    return {s->Active(), s->Elevation(), s->Azimuth(), s->SignalToNoiseRatio()};
  }
  Sat row(int r) const {
    return {list->item(r, 0)->checkState() == Qt::Checked, list->item(r, 1)->text().toInt(),
            list->item(r, 2)->text().toInt(), list->item(r, 3)->text().toInt()};
  }
  void selectRows(std::initializer_list<int> rows) {
    list->clearSelection();
    for (int r : rows) {
      list->selectionModel()->select(list->model()->index(r, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  // Where the list draws a row's check box, as its delegate places it.
  QRect checkBoxRect(int r) const {
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.widget = list;
    option.rect = list->visualRect(list->model()->index(r, 0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = list->item(r, 0)->text();
    option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    return list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
  }
  template <class T>
  T* child(const char* name) {
    return dialog->findChild<T*>(name);
  }

  test::TempDir dir;
  std::filesystem::path file = dir / "satellites.ini";
  TTarnNMEAGenerator gen{systemClock(), nullptr};
  std::unique_ptr<TfrmSatellites> dialog;
  QTableWidget* list = nullptr;
};

TEST_F(SatellitesDialog, FormAsSeen) {
  QWidget owner;
  owner.setGeometry(0, 0, 800, 600);
  owner.show();
  TfrmSatellites form(gen, file.string(), &owner);
  form.show();
  EXPECT_EQ(form.windowTitle(), "Satellites");
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.size(), QSize(946, 363));
  // Centred on its owner, as far as the screen (800 wide here) lets it.
  EXPECT_LE(std::abs(form.geometry().center().y() - owner.geometry().center().y()), 2);
  EXPECT_GE(form.frameGeometry().left(), form.screen()->geometry().left());

  auto* lv = form.findChild<QTableWidget*>("lvSat");
  ASSERT_EQ(lv->rowCount(), 32);
  ASSERT_EQ(lv->columnCount(), 4);
  const char* titles[] = {"ID", "Elevation", "Azimuth", "SNR"};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(lv->horizontalHeaderItem(c)->text(), titles[c]);
    EXPECT_EQ(lv->columnWidth(c), 75);
    const Qt::Alignment horizontal = c == 0 ? Qt::AlignLeft : Qt::AlignRight;
    EXPECT_TRUE(lv->item(5, c)->textAlignment() & horizontal) << c;
  }
  EXPECT_EQ(lv->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(lv->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(lv->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_TRUE(lv->showGrid());
  EXPECT_FALSE(lv->horizontalHeader()->sectionsClickable());

  struct Edit {
    const char* name;
    int maximum;
    const char* hint;
  } const edits[] = {{"efElevation", 90, "Elevation (degrees)"},
                     {"efAzimuth", 359, "Azimuth (degrees)"},
                     {"efSNR", 99, "Signal to noise ratio (dBHZ)"}};
  for (const auto& e : edits) {
    auto* edit = form.findChild<QSpinBox*>(e.name);
    ASSERT_NE(edit, nullptr) << e.name;
    EXPECT_EQ(edit->minimum(), 0);
    EXPECT_EQ(edit->maximum(), e.maximum);
    EXPECT_EQ(edit->toolTip(), e.hint);
  }
  for (const char* name : {"btnSet", "btnReset"}) {
    auto* button = form.findChild<QToolButton*>(name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QString(name).mid(3));
    EXPECT_EQ(button->accessibleName(), QString(name).mid(3));
    EXPECT_FALSE(button->icon().isNull());
  }
  EXPECT_EQ(form.findChild<SkyPlotWidget*>("PaintBox")->size(), QSize(330, 330));

  // The hovered control's hint shows in the status bar.
  auto* snr = form.findChild<QSpinBox*>("efSNR");
  QStatusTipEvent tip(snr->statusTip());
  QCoreApplication::sendEvent(snr, &tip);
  EXPECT_EQ(form.findChild<QStatusBar*>("StatusBar")->currentMessage(),
            "Signal to noise ratio (dBHZ)");

  int helpContext = 0;
  QObject::connect(&form, &TfrmSatellites::helpRequested,
                   [&](int context) { helpContext = context; });
  QTest::keyClick(&form, Qt::Key_F1);
  EXPECT_EQ(helpContext, 40);
}

TEST_F(SatellitesDialog, SetAndResetApplyToTheSelectedRowsOnly) {
  test::writeFile(file, "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n");
  open();
  EXPECT_EQ(row(2), (Sat{true, 45, 120, 40})) << "loaded on show";
  EXPECT_EQ(row(0), (Sat{false, 0, 0, 0}));

  child<QSpinBox>("efElevation")->setValue(30);
  child<QSpinBox>("efAzimuth")->setValue(200);
  child<QSpinBox>("efSNR")->setValue(45);
  selectRows({1, 4, 30});
  QTest::mouseClick(child<QToolButton>("btnSet"), Qt::LeftButton);
  for (int r : {1, 4, 30}) {
    EXPECT_EQ(row(r), (Sat{true, 30, 200, 45})) << r;
    EXPECT_EQ(generatorSat(r + 1), (Sat{true, 30, 200, 45})) << r;
  }
  EXPECT_EQ(generatorSat(3), (Sat{true, 45, 120, 40})) << "not selected";
  EXPECT_EQ(generatorSat(1), (Sat{false, 0, 0, 0}));

  selectRows({1, 2, 30});
  QTest::mouseClick(child<QToolButton>("btnReset"), Qt::LeftButton);
  for (int r : {1, 2, 30}) {
    EXPECT_EQ(row(r), (Sat{false, 0, 0, 0})) << r;
    EXPECT_EQ(generatorSat(r + 1), (Sat{false, 0, 0, 0})) << r;
  }
  EXPECT_EQ(generatorSat(5), (Sat{true, 30, 200, 45})) << "not selected";

  list->clearSelection();
  QTest::mouseClick(child<QToolButton>("btnSet"), Qt::LeftButton);
  EXPECT_EQ(generatorSat(2), (Sat{false, 0, 0, 0})) << "nothing selected, nothing set";
}

// Typed numbers beyond the range come back to the nearest bound, also when
// Set is pressed while a field still holds them.
TEST_F(SatellitesDialog, FieldsClampTypedNumbersToTheirRange) {
  open();
  const std::pair<const char*, const char*> typed[] = {
      {"efElevation", "95"}, {"efAzimuth", "400"}, {"efSNR", "120"}};
  for (const auto& [name, text] : typed) {
    auto* spin = child<QSpinBox>(name);
    spin->selectAll();
    QTest::keyClicks(spin, text);
  }
  selectRows({4});
  child<QToolButton>("btnSet")->click();
  EXPECT_EQ(row(4), (Sat{true, 90, 359, 99}));
  EXPECT_EQ(generatorSat(5), (Sat{true, 90, 359, 99}));
}

TEST_F(SatellitesDialog, CheckBoxClickAndSpaceReachTheGenerator) {
  open();
  QWidget* viewport = list->viewport();
  const QRect box = checkBoxRect(2);
  ASSERT_TRUE(box.isValid());
  QTest::mouseClick(viewport, Qt::LeftButton, {}, box.center());
  EXPECT_TRUE(generatorSat(3).active);
  EXPECT_TRUE(row(2).active);
  // Beside the box (still in the ID column) and on another column: no toggle.
  QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(box.right() + 20, box.center().y()));
  QTest::mouseClick(viewport, Qt::LeftButton, {},
                    list->visualRect(list->model()->index(2, 2)).center());
  EXPECT_TRUE(generatorSat(3).active);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, box.center());
  EXPECT_FALSE(generatorSat(3).active);

  list->setFocus();
  list->setCurrentCell(6, 1);
  ASSERT_FALSE(list->selectedItems().isEmpty());
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_TRUE(generatorSat(7).active);
  EXPECT_TRUE(row(6).active);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_FALSE(generatorSat(7).active);
}

// The other systems' satellites, in a list of their own beside the GPS one.
TEST_F(SatellitesDialog, TheOtherSystemsListWorksLikeTheGpsList) {
  using generator::Constellation;
  test::writeFile(file, "[GL2]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n");
  open();
  QTableWidget* gps = list;
  list = child<QTableWidget>("lvMoreSat");
  ASSERT_EQ(list->rowCount(), 24 + 36 + 63);
  EXPECT_EQ(list->item(1, 0)->text(), "GL2");
  EXPECT_EQ(list->item(24, 0)->text(), "GA1");
  EXPECT_EQ(list->item(122, 0)->text(), "GB63");
  EXPECT_EQ(row(1), (Sat{true, 45, 120, 40})) << "loaded on show";

  const auto sat = [&](Constellation system, int number) {
    const auto* s = gen.satellite(system, static_cast<std::uint16_t>(number));
    return Sat{s->Active(), s->Elevation(), s->Azimuth(), s->SignalToNoiseRatio()};
  };
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxRect(24).center());
  EXPECT_TRUE(sat(Constellation::galileo, 1).active);

  child<QSpinBox>("efElevation")->setValue(30);
  selectRows({60});
  gps->selectRow(4);
  QTest::mouseClick(child<QToolButton>("btnSet"), Qt::LeftButton);
  EXPECT_EQ(sat(Constellation::beidou, 1), (Sat{true, 30, 0, 0}));
  EXPECT_EQ(generatorSat(5), (Sat{true, 30, 0, 0})) << "the GPS list's selection too";
  EXPECT_EQ(sat(Constellation::glonass, 2), (Sat{true, 45, 120, 40})) << "not selected";
  dialog->hide();
  EXPECT_NE(test::readFile(file).find("[GB1]"), std::string::npos) << "saved on close";
}

TEST_F(SatellitesDialog, ClosingRewritesTheFileWithAll32Sections) {
  test::writeFile(file, "[2]\r\nActive=1\r\nElevation=10\r\nAzimuth=20\r\nSNR=30\r\n");
  gen.SetSatellite(9, true, 1, 2, 3);  // changes since the last save are replaced on show
  gen.SetSatellite(2, false, 0, 0, 0);
  open();
  dialog->close();
  const std::string text = test::readFile(file);
  for (int prn = 1; prn <= 32; ++prn) {
    const std::string header = '[' + std::to_string(prn) + "]\r\n";
    EXPECT_NE(text.find(header), std::string::npos) << prn;
  }
  EXPECT_NE(text.find("[2]\r\nActive=1\r\nElevation=10\r\nAzimuth=20\r\nSNR=30\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[9]\r\nActive=1\r\nElevation=1\r\nAzimuth=2\r\nSNR=3\r\n"),
            std::string::npos)
      << "a record the file does not name keeps its value";
}

TEST_F(SatellitesDialog, BadFileStopsTheLoadWithOneErrorLineAndIsNotOverwritten) {
  const std::string bad =
      "[1]\r\nActive=1\r\nElevation=10\r\nAzimuth=20\r\nSNR=30\r\n"
      "[33]\r\nActive=1\r\n"
      "[4]\r\nActive=1\r\nElevation=40\r\nAzimuth=50\r\nSNR=60\r\n";
  test::writeFile(file, bad);
  test::ErrorLogWatch log;
  open();
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"frmSatellites PseudoRandomCode must be between 1 and 32."});
  EXPECT_EQ(row(0), (Sat{true, 10, 20, 30})) << "sections before the bad one apply";
  EXPECT_EQ(row(3), (Sat{false, 0, 0, 0})) << "sections after it do not";
  dialog->close();
  EXPECT_EQ(test::readFile(file), bad) << "unchanged, the unread sections are kept";

  // Once the user changes something the file is rewritten from the list.
  open();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, checkBoxRect(1).center());
  dialog.reset();  // destroyed while shown: still saved
  EXPECT_NE(test::readFile(file).find("[2]\r\nActive=1\r\n"), std::string::npos);
  EXPECT_EQ(log.lines().size(), 2u);
}

TEST_F(SatellitesDialog, AFileThatCannotBeWrittenIsAnErrorLine) {
  file = dir / "missing-folder" / "satellites.ini";
  test::ErrorLogWatch log;
  open();
  dialog->close();
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("frmSatellites Cannot save the satellites to " + file.string(), 0), 0u)
      << lines[0];
  EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace waymock::app
