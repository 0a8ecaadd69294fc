#include "app/tray_controller.h"

#include <gtest/gtest.h>

namespace waymock::app {
namespace {

TEST(TrayController, ShowsOnlyWhereATrayIsAndLeftClicksAlone) {
  bool trayThere = false;
  TrayController tray([&] { return trayThere; });
  EXPECT_EQ(tray.icon().toolTip(), "Waymock");
  EXPECT_FALSE(tray.show()) << "no tray: the window minimises normally";
  EXPECT_FALSE(tray.isShown());
  EXPECT_FALSE(tray.icon().isVisible());

  trayThere = true;
  EXPECT_TRUE(tray.show());
  EXPECT_TRUE(tray.icon().isVisible());
  int clicks = 0;
  QObject::connect(&tray, &TrayController::leftClicked, [&] { ++clicks; });
  for (const auto reason :
       {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Trigger}) {
    emit tray.icon().activated(reason);
  }
  EXPECT_EQ(clicks, 1);
  tray.hide();
  EXPECT_FALSE(tray.icon().isVisible());
}

TEST(TrayController, AnimatesOnlyWhenShownAnimatedAndWithAnInterval) {
  TrayController tray([] { return true; });
  tray.setAnimated(true);
  tray.setInterval(500);
  EXPECT_EQ(tray.frame(), IconFrame::Still) << "hidden";
  tray.show();
  EXPECT_EQ(tray.frame(), IconFrame::Wave1);
  tray.nextFrame();
  EXPECT_EQ(tray.frame(), IconFrame::Wave2);
  tray.nextFrame();
  EXPECT_EQ(tray.frame(), IconFrame::Wave1);
  tray.setInterval(0);
  EXPECT_EQ(tray.frame(), IconFrame::Still);
  tray.setInterval(500);
  tray.setAnimated(false);
  EXPECT_EQ(tray.frame(), IconFrame::Still);
}

}  // namespace
}  // namespace waymock::app
