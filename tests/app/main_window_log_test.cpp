// The output log as the window shows, offers and saves it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "common/test_support.h"
#include "error_log_watch.h"
#include "platform/folders.h"
#include "receiver/file_gps_receiver.h"
#include "test_window.h"

namespace waymock::app {
namespace {

namespace fs = std::filesystem;

// A window sending GGA, RMC and GSA, whose message boxes and save dialog are
// answered here.
struct LogWindow : test::TestWindow {
  int& asked = prompts.asked;
  QString& answer = prompts.chosen;
  LogWindow() {
    for (QCheckBox* off : {ui.cbGPZDA, ui.cbGPGLL, ui.cbGPVTG, ui.cbGPGSV}) off->click();
    ui.PageControl->setCurrentIndex(1);  // applies the settings
  }
  void burst() { w.simulation().onTransmitted(w.generator().GetSentences()); }
  QMenu& popMemOut() { return *test::namedChild<QMenu>(w, "popMemOut"); }
  QAction* item(const char* name) { return test::namedChild<QAction>(popMemOut(), name); }
  // Opens the context menu as a right click does; whether each item is enabled.
  std::pair<bool, bool> menuStates() {
    emit ui.MemoOut->customContextMenuRequested(QPoint(5, 5));
    const bool shown = popMemOut().isVisible();
    popMemOut().close();
    EXPECT_TRUE(shown);
    return {item("miClear")->isEnabled(), item("miSaveToFile")->isEnabled()};
  }
};

TEST(OutputLog, TwoBurstsAreEightLinesSavedWithCrLfThatFileModeReplays) {
  LogWindow win;
  win.w.generator().SetLatitude_Degree(52);
  win.w.generator().SetLatitude_Minute(22);
  win.burst();
  win.burst();
  const QStringList lines = win.ui.MemoOut->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 8);
  for (int i : {0, 4}) {
    EXPECT_TRUE(lines[i].startsWith("$GPGGA,")) << i;
    EXPECT_TRUE(lines[i + 1].startsWith("$GPRMC,")) << i;
    EXPECT_TRUE(lines[i + 2].startsWith("$GPGSA,")) << i;
    EXPECT_EQ(lines[i + 3], "") << i;
  }

  test::TempDir dir;
  const fs::path file = dir / "out.log";
  win.answer = QString::fromStdString(file.string());
  win.click("btnSave");
  EXPECT_EQ(win.asked, 1);
  EXPECT_EQ(test::readFile(file), (lines.join("\r\n") + "\r\n").toStdString());

  // The replay hands over each burst up to the next RMC line; the last one stays.
  receiver::TTarnFileGPSReceiver replay;
  int received = 0;
  replay.OnReceive = [&](receiver::TTarnCustomGPSReceiver&) { ++received; };
  replay.SetDelay(0);
  replay.SetFileName(file.string());
  replay.Open();
  EXPECT_EQ(replay.deliveredBursts(), 2u);
  EXPECT_EQ(received, 2);
  EXPECT_EQ(replay.Position().Latitude_Degree, 52);
  EXPECT_EQ(replay.Position().Latitude_Minute, 22);
}

// A day at 1 Hz would otherwise hold every burst in the window's memory.
TEST(OutputLog, TheWindowShowsTheLatestLinesAndSavesTheWholeLogSpooledInTheCache) {
  const int bursts = OutputLog::kShownLines / 4 + 50;
  test::TempDir dir;
  const fs::path file = dir / "out.log";
  {
    LogWindow win;
    for (int i = 0; i < bursts; ++i) win.burst();
    EXPECT_EQ(win.ui.MemoOut->blockCount(), OutputLog::kShownLines);
    const std::vector<std::string> spooled = test::openFilesIn(userCacheFolder());
    ASSERT_EQ(spooled.size(), 1u);
    EXPECT_TRUE(spooled[0].ends_with(" (deleted)")) << "no name left behind: " << spooled[0];
    win.answer = QString::fromStdString(file.string());
    win.click("btnSave");
  }
  EXPECT_TRUE(test::openFilesIn(userCacheFolder()).empty()) << "the spool goes with the window";
  const std::string saved = test::readFile(file);
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), bursts * 4);
  receiver::TTarnFileGPSReceiver replay;
  replay.SetDelay(0);
  replay.SetFileName(file.string());
  replay.Open();
  EXPECT_EQ(replay.deliveredBursts(), static_cast<std::size_t>(bursts));
}

// The disk fills up: the whole log is cleared and the burst dropped.
TEST(OutputLog, AFailedSpoolWriteClearsTheLogAndDropsTheBurst) {
  LogWindow win;
  win.burst();
  win.burst();
  {
    const test::FileSizeLimit limit(1);
    win.burst();
  }
  EXPECT_TRUE(win.ui.MemoOut->toPlainText().isEmpty());
  EXPECT_EQ(win.menuStates(), std::make_pair(false, false));

  win.burst();
  test::TempDir dir;
  win.answer = QString::fromStdString((dir / "out.log").string());
  win.click("btnSave");
  EXPECT_EQ(test::readFile(dir / "out.log"),
            (win.ui.MemoOut->toPlainText().split('\n').join("\r\n") + "\r\n").toStdString());
  EXPECT_EQ(win.ui.MemoOut->blockCount(), 4);
}

TEST(OutputLog, ItemsAndSaveOnlyWithTextInTheLog) {
  LogWindow win;
  EXPECT_EQ(win.item("miClear")->text(), "Clear");
  EXPECT_EQ(win.item("miSaveToFile")->toolTip(), "Save to file");
  EXPECT_EQ(win.menuStates(), std::make_pair(false, false));
  win.click("btnSave");
  win.item("miSaveToFile")->trigger();
  EXPECT_EQ(win.asked, 0) << "no dialog for an empty log";

  win.burst();
  EXPECT_EQ(win.menuStates(), std::make_pair(true, true));
  win.item("miSaveToFile")->trigger();
  EXPECT_EQ(win.asked, 1);
  win.item("miClear")->trigger();
  EXPECT_TRUE(win.ui.MemoOut->toPlainText().isEmpty());
  EXPECT_EQ(win.menuStates(), std::make_pair(false, false));
  win.click("btnSave");
  EXPECT_EQ(win.asked, 1) << "Clear empties the whole log";
  EXPECT_TRUE(win.errors.isEmpty());
}

// Permissions do not stop root: the save runs as "nobody" in a child process,
// with its error log in a data folder of its own.
TEST(OutputLog, AFailedSaveShowsWhyAndIsOneErrorLine) {
  LogWindow win;
  win.burst();
  test::TempDir dir;
  const fs::path data = dir / "data";
  const fs::path file = dir / "out.log";
  fs::create_directory(data);
  test::writeFile(file, "old\r\n");
  test::giveToNobody(data);
  test::giveToNobody(file);
  fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_all);
  win.answer = QString::fromStdString(file.string());

  const std::string result = test::runAsNobody([&] {
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    test::ErrorLogWatch log;
    win.click("btnSave");
    std::string lines;
    for (const std::string& line : log.lines()) lines += line + "\n";
    return lines + "box: " + win.errors.join(" | ").toStdString();
  });
  EXPECT_EQ(result, "btnSave Cannot save the file " + file.string() +
                        ", Permission denied\nbox: Cannot save the file " + file.string() +
                        ".\nPermission denied.");
  EXPECT_EQ(test::readFile(file), "old\r\n");

  // A folder that is a file, from the menu.
  test::ErrorLogWatch log;
  win.answer = QString::fromStdString((file / "x.log").string());
  win.item("miSaveToFile")->trigger();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"miSaveToFile Cannot save the file " +
                                                  (file / "x.log").string() + ", Not a directory"});
  EXPECT_EQ(win.errors,
            QStringList{QString::fromStdString("Cannot save the file " + (file / "x.log").string() +
                                               ".\nNot a directory.")});
  EXPECT_EQ(test::readFile(file), "old\r\n");
}

}  // namespace
}  // namespace waymock::app
