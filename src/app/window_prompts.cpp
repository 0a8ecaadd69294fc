#include "app/window_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "app/about_dialog.h"

namespace waymock::app {

void WindowPrompts::showError(QWidget& parent, const QString& text) {
  QMessageBox::critical(&parent, QObject::tr("Error"), text);
}

void WindowPrompts::runModal(QDialog& dialog) {
  dialog.exec();
}

QString WindowPrompts::chooseFile(QFileDialog& dialog) {
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void WindowPrompts::runAboutBox(TfrmAbout& about) {
  about.exec();
}

bool WindowPrompts::trayAvailable() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

WindowPrompts& WindowPrompts::desktop() {
  static WindowPrompts prompts;
  return prompts;
}

}  // namespace waymock::app
