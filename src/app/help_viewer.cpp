#include "app/help_viewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>
#include <cerrno>

#include "app/app_icons.h"
#include "app/handler_guard.h"
#include "support/error.h"

namespace waymock::app {

QString findHelpFolder(const QString& programFolder) {
  const QString bin =
      programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
  const QString folder = QDir::cleanPath(bin + "/../share/waymock/help");
  return QFileInfo::exists(folder + "/index.html") ? folder : QString();
}

QString helpPage(int context) {
  switch (context) {
    case kHelpSimulator:
      return "simulator.html";
    case kHelpSettings:
      return "settings.html";
    case kHelpSatellites:
      return "satellites.html";
    case kHelpAdvanced:
      return "advanced.html";
    default:
      raise("There is no help for context " + std::to_string(context) + ".");
  }
}

HelpViewer::HelpViewer(QWidget* parent, QString folder)
    : QDialog(parent), folder_(std::move(folder)), browser_(new QTextBrowser(this)) {
  setObjectName("HelpViewer");
  setWindowTitle("Waymock Help");
  setWindowIcon(applicationIcon());
  setModal(false);
  resize(720, 560);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);

  auto* tools = new QToolBar(this);
  tools->addAction("Contents", this,
                   [this] { browser_->setSource(QUrl::fromLocalFile(folder_ + "/index.html")); });
  QAction* back = tools->addAction("Back", browser_, &QTextBrowser::backward);
  QAction* forward = tools->addAction("Forward", browser_, &QTextBrowser::forward);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tools);
  layout->addWidget(browser_);
}

void HelpViewer::showContents() {
  showPage("index.html");
}

void HelpViewer::showContext(int context) {
  showPage(helpPage(context));
}

void HelpViewer::showPage(const QString& page) {
  const QString path = folder_.isEmpty() ? page : folder_ + "/" + page;
  if (!QFileInfo(path).isFile())
    raiseIo("Cannot open the help file " + path.toStdString() + ".", ENOENT);
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
  show();
  raise();
  activateWindow();
}

}  // namespace waymock::app
