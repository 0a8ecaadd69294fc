#pragma once

#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

namespace waymock::app {

class TfrmAbout;

// What the window asks of the user and of the desktop: the boxes and dialogs
// that wait for an answer, and whether there is a tray. Each is the desktop's
// own here; tests give the window another that answers at once.
class WindowPrompts {
 public:
  virtual ~WindowPrompts() = default;

  // The error box with one OK button over `parent`.
  virtual void showError(QWidget& parent, const QString& text);
  // A modal dialog, shown until it is closed: the satellite editor.
  virtual void runModal(QDialog& dialog);
  // An open or save dialog: the chosen file, empty when the user cancels.
  virtual QString chooseFile(QFileDialog& dialog);
  // The About box, modal to the window.
  virtual void runAboutBox(TfrmAbout& about);
  // Whether the desktop has a system tray now.
  virtual bool trayAvailable();

  // The desktop's own prompts.
  static WindowPrompts& desktop();
};

}  // namespace waymock::app
