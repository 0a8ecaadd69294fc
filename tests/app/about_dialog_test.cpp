#include "app/about_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>

namespace waymock::app {
namespace {

template <typename Widget>
Widget* child(const QWidget& parent, const char* name) {
  auto* widget = parent.findChild<Widget*>(name);
  if (widget == nullptr) ADD_FAILURE() << "no " << name;
  return widget;
}

AboutTargets targets(const QString& contact) {
  return {QUrl("https://waymock.example/"), QUrl("https://publisher.example/"),
          aboutContactUrl(contact)};
}

TEST(TfrmAbout, LinksOpenTheirTargetsThroughTheHook) {
  QWidget parent;
  parent.setGeometry(100, 80, 537, 388);
  parent.show();
  TfrmAbout about(&parent, targets("support@waymock.example"));
  std::vector<QUrl> opened;
  about.openUrl = [&](const QUrl& url) { opened.push_back(url); };
  int help = 0;
  QObject::connect(&about, &TfrmAbout::helpRequested, [&] { ++help; });
  about.show();

  EXPECT_EQ(about.windowTitle(), "About...");
  EXPECT_EQ(about.size(), QSize(367, 165));
  EXPECT_EQ(about.minimumSize(), about.maximumSize());
  EXPECT_LE((about.geometry().center() - parent.geometry().center()).manhattanLength(), 4);
  EXPECT_EQ(child<QLabel>(about, "lblWAYM")->text(), "Waymock 1.26");
  EXPECT_EQ(child<QLabel>(about, "lblWAYM")->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(child<QLabel>(about, "lblTarn")->toolTip(), "mailto:support@waymock.example");
  EXPECT_EQ(child<QLabel>(about, "Image2")->toolTip(), "https://publisher.example/");

  for (QLabel* label : {child<QLabel>(about, "lblWAYM"), child<QLabel>(about, "Image2"),
                        child<QLabel>(about, "lblTarn")}) {
    QTest::mouseClick(label, Qt::RightButton);
    QTest::mouseClick(label, Qt::LeftButton);
  }
  EXPECT_EQ(opened,
            (std::vector<QUrl>{QUrl("https://waymock.example/"), QUrl("https://publisher.example/"),
                               QUrl("mailto:support@waymock.example")}));

  QStatusTipEvent tip(child<QLabel>(about, "lblWAYM")->statusTip());
  QCoreApplication::sendEvent(child<QLabel>(about, "lblWAYM"), &tip);
  EXPECT_EQ(child<QStatusBar>(about, "StatusBar")->currentMessage(), "https://waymock.example/");

  about.FormKeyDown(Qt::Key_F2);
  EXPECT_EQ(help, 0);
  about.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  QTest::keyClick(child<QLabel>(about, "lblTarn"), Qt::Key_F1);
  EXPECT_EQ(help, 1);
}

// A keyboard user finds the focus on Close and leaves with Enter or Escape.
TEST(TfrmAbout, ShowsTheLicenseAndClosesFromTheKeyboard) {
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
    TfrmAbout about(nullptr, targets(""));
    about.show();
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    EXPECT_EQ(child<QLabel>(about, "lblLicense")->text(), "License: MIT");
    auto* close = child<QPushButton>(about, "btnClose");
    EXPECT_EQ(close->text(), "Close");
    EXPECT_EQ(QApplication::focusWidget(), close);
    QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_FALSE(about.isVisible()) << key;
    EXPECT_EQ(about.result(), key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted);
  }
}

TEST(TfrmAbout, NoContactLinkWithoutAnAddressAndPagesFromTheHelpFolder) {
  TfrmAbout about(nullptr, targets(""));
  about.show();
  EXPECT_FALSE(child<QLabel>(about, "lblTarn")->isVisible());
  EXPECT_EQ(aboutPageUrl("index.html", "/usr/share/waymock/help"),
            QUrl("file:///usr/share/waymock/help/index.html"));
  EXPECT_EQ(aboutPageUrl("https://waymock.example/", "/x"), QUrl("https://waymock.example/"));
  EXPECT_EQ(aboutContactUrl("mailto:a@b.example"), QUrl("mailto:a@b.example"));
  EXPECT_TRUE(defaultAboutTargets().product.isLocalFile());
}

}  // namespace
}  // namespace waymock::app
