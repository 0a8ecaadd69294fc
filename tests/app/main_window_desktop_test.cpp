// The main window on the desktop: tray, help, About box, handler errors and
// the settings it keeps between runs.
#include <gtest/gtest.h>

#include <QFileDialog>

#include <QDoubleSpinBox>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <cerrno>

#include "app/about_dialog.h"
#include "app/form_storage.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/tray_controller.h"
#include "common/test_support.h"
#include "error_log_watch.h"
#include "support/error.h"
#include "test_window.h"

namespace waymock::app {
namespace {

struct DesktopWindow : test::TestWindow {
  explicit DesktopWindow(bool trayThere = true) { prompts.tray = trayThere; }
  app::TrayController& tray() { return *ui.TrayController; }
};

TEST(MainWindowDesktop, MinimiseHidesToTheTrayOnlyWhereThereIsOne) {
  for (const bool trayThere : {true, false}) {
    SCOPED_TRACE(trayThere ? "tray" : "no tray");
    DesktopWindow win(trayThere);
    win.showAndWait();
    win.ui.efAlt->setValue(123.45);
    win.w.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(win.w.isVisible(), !trayThere);
    EXPECT_EQ(win.tray().isShown(), trayThere);
    EXPECT_EQ(win.tray().icon().isVisible(), trayThere);
    if (!trayThere) {
      EXPECT_TRUE(win.w.isMinimized());
      continue;
    }
    emit win.tray().icon().activated(QSystemTrayIcon::Context);
    emit win.tray().icon().activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(win.w.isVisible()) << "only the left button restores";
    emit win.tray().icon().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(win.w.isVisible());
    EXPECT_FALSE(win.w.isMinimized());
    EXPECT_FALSE(win.tray().isShown());
    EXPECT_EQ(win.ui.efAlt->value(), 123.45) << "settings are not restored again";
  }
}

TEST(MainWindowDesktop, HelpOpensOneViewerAtThePageAskedFor) {
  DesktopWindow win;
  win.showAndWait();
  const char* pages[] = {"simulator.html", "settings.html", "satellites.html", "advanced.html"};
  for (int page : {0, 1, 2, 3}) {
    win.ui.PageControl->setCurrentIndex(page);
    QTest::keyClick(&win.w, Qt::Key_F1);
    EXPECT_EQ(win.helpPageShown(), pages[page]);
  }
  win.click("btnHelp");
  EXPECT_EQ(win.helpPageShown(), "index.html");
  EXPECT_EQ(win.w.findChildren<QDialog*>("HelpViewer").size(), 1);
  EXPECT_FALSE(win.w.findChild<HelpViewer*>("HelpViewer")->isModal());
}

TEST(MainWindowDesktop, HandlerErrorsAreOneLogLineEachAndNoBox) {
  test::TempDir noHelp;
  DesktopWindow win;
  win.w.setHelpFolder(QString::fromStdString(noHelp.path().string()));
  test::ErrorLogWatch log;
  win.prompts.fileDialog = [](QFileDialog&) -> QString { raiseIo("Cannot read the log.", EACCES); };
  win.click("btnLoad");
  win.click("btnHelp");
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"btnLoad Cannot read the log, Permission denied",
                                                   "btnHelp Cannot open the help file " +
                                                       noHelp.path().string() +
                                                       "/index.html, No such file or directory"}));
  EXPECT_TRUE(win.errors.isEmpty());
}

TEST(MainWindowDesktop, AboutBoxBelongsToTheWindowAndF1ThereOpensTheContents) {
  DesktopWindow win;
  int shown = 0;
  win.prompts.about = [&](TfrmAbout& about) {
    ++shown;
    EXPECT_EQ(about.parentWidget(), &win.w);
    EXPECT_EQ(about.windowTitle(), "About...");
    about.FormKeyDown(Qt::Key_F1);
  };
  win.click("btnAbout");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(win.helpPageShown(), "index.html");
  EXPECT_EQ(win.w.findChild<QDialog*>("TfrmAbout"), nullptr) << "destroyed when closed";
}

TEST(MainWindowDesktop, FirstRunDefaultsThenAllFortyTwoValuesKeptAfterClose) {
  QString file;
  {
    DesktopWindow win;
    file = win.w.formStorage()->fileName();
    QFile::remove(file);
    win.showAndWait();
    EXPECT_FALSE(win.w.formStorage()->positionRestored());
    const QRect screen = win.w.screen()->availableGeometry();
    EXPECT_LE((win.w.frameGeometry().center() - screen.center()).manhattanLength(), 2);
    EXPECT_EQ(win.ui.efIp->text(), "0.0.0.0");
    EXPECT_EQ(win.ui.efInterval->value(), 1);
    win.ui.efAlt->setValue(0.5);
    win.ui.cbUDP->setChecked(true);
    win.ui.cmbBaudRate->setCurrentIndex(3);
    win.w.close();
  }
  QSettings stored(file, QSettings::IniFormat);
  stored.beginGroup("TfrmMain");
  EXPECT_EQ(stored.childKeys().size(), 42);
  EXPECT_EQ(stored.value("efAlt_Value").toString(), "0.5");
  EXPECT_EQ(stored.value("cbUDP_Checked").toString(), "True");
  EXPECT_EQ(stored.value("cmbCom_ItemIndex").toString(), "-1");
  EXPECT_EQ(stored.value("Visible").toString(), "0") << "saved at the close";

  DesktopWindow again;
  EXPECT_EQ(again.ui.efAlt->value(), 0) << "restored when first shown";
  again.showAndWait();
  EXPECT_EQ(again.ui.efAlt->value(), 0.5);
  EXPECT_TRUE(again.ui.efIp->isEnabled()) << "FormShow follows the restored cbUDP";
  EXPECT_EQ(again.ui.cmbBaudRate->currentIndex(), 3);
  EXPECT_EQ(again.w.generator().Altitude(), 0.5L);
}

}  // namespace
}  // namespace waymock::app
