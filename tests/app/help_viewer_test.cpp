#include "app/help_viewer.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTextBrowser>
#include <filesystem>

#include "common/test_support.h"
#include "support/error.h"

namespace waymock::app {
namespace {

TEST(HelpViewer, OpensTheContentsAndEachContextsPage) {
  const QString folder = findHelpFolder();
  ASSERT_FALSE(folder.isEmpty()) << "the build folder's link to the help pages";
  HelpViewer viewer(nullptr, folder);
  viewer.showContents();
  EXPECT_TRUE(viewer.isVisible());
  EXPECT_FALSE(viewer.isModal());
  EXPECT_EQ(viewer.browser().source().fileName(), "index.html");
  EXPECT_EQ(viewer.browser().documentTitle(), "Waymock Help");
  const std::pair<int, const char*> contexts[] = {
      {kHelpSimulator, "The Simulator page"},
      {kHelpSettings, "The Settings page"},
      {kHelpSatellites, "The Satellites page and the satellite editor"},
      {kHelpAdvanced, "The Advanced page"}};
  for (const auto& [context, title] : contexts) {
    viewer.showContext(context);
    EXPECT_EQ(viewer.browser().documentTitle(), title) << context;
  }
  EXPECT_THROW(viewer.showContext(99), Error);
}

TEST(HelpViewer, AMissingPageIsAnInputOutputError) {
  test::TempDir empty;
  const QString folder = QString::fromStdString(empty.path().string());
  HelpViewer viewer(nullptr, folder);
  try {
    viewer.showContext(kHelpSettings);
    ADD_FAILURE() << "no error";
  } catch (const IoError& error) {
    EXPECT_EQ(error.what(),
              "Cannot open the help file " + folder.toStdString() + "/settings.html.");
    EXPECT_EQ(error.systemText(), "No such file or directory");
  }
  EXPECT_FALSE(viewer.isVisible());
}

TEST(HelpViewer, FindsThePagesOnlyWhereTheInstallPutsThem) {
  test::TempDir prefix;
  const QString bin = QString::fromStdString((prefix / "bin").string());
  EXPECT_EQ(findHelpFolder(bin), "");
  // share/doc is not looked in.
  for (const char* installed : {"share/doc/waymock/help", "share/waymock/help"}) {
    std::filesystem::create_directories(prefix / installed);
    test::writeFile(prefix / installed / "index.html", "<html></html>");
    const bool used = std::string_view(installed) == "share/waymock/help";
    EXPECT_EQ(findHelpFolder(bin),
              used ? QString::fromStdString((prefix / installed).string()) : "");
  }
}

TEST(HelpViewer, EveryLinkBetweenThePagesLeadsToAPage) {
  const QString folder = findHelpFolder();
  for (const char* page :
       {"index.html", "simulator.html", "settings.html", "satellites.html", "connecting.html",
        "filemode.html", "satellite-file.html", "sentences.html", "command-line.html",
        "motion.html", "automation.html", "advanced.html", "about.html"}) {
    const std::string text = test::readFile((folder + "/" + page).toStdString());
    for (std::size_t at = text.find("href=\""); at != std::string::npos;
         at = text.find("href=\"", at + 1)) {
      const std::string target = text.substr(at + 6, text.find('"', at + 6) - at - 6);
      EXPECT_TRUE(QFileInfo::exists(folder + "/" + QString::fromStdString(target)))
          << page << " -> " << target;
    }
  }
}

}  // namespace
}  // namespace waymock::app
