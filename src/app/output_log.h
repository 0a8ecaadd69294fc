#pragma once

#include <QPlainTextEdit>
#include <memory>
#include <string>

#include "support/output_spool.h"

class QMenu;

namespace waymock::app {

class WindowPrompts;

// The output log (MemoOut): each burst sent, its context menu (Clear, Save to
// file) and saving it as a log that file mode can replay. The whole log is
// spooled to disk; the field shows its latest lines, so a long day costs no
// more memory than a minute.
class OutputLog : public QPlainTextEdit {
  Q_OBJECT

 public:
  // About 300 bursts of 32 satellites.
  static constexpr int kShownLines = 4500;

  explicit OutputLog(QWidget* parent = nullptr);
  ~OutputLog() override;

  // Where the save dialog and a failed save's box go; the desktop's until set.
  void setPrompts(WindowPrompts& prompts) { prompts_ = &prompts; }

  // Adds a burst as sent; when the spool cannot take it the whole log is
  // cleared and the burst dropped.
  void append(const std::string& burst);
  // Writes the whole log to `fileName`, every line ended by CR LF, replacing
  // the file as a whole; IoError when it cannot.
  void saveTo(const QString& fileName);

 public slots:
  // Asks for a file and saves the log there; a failure is logged as from the
  // sender (btnSave, miSaveToFile) and shown. Nothing for an empty log.
  void btnSaveClick();

 private slots:
  void popMemOutPopup(const QPoint& at);
  void miClearClick();

 private:
  std::unique_ptr<OutputSpool> spool_;
  WindowPrompts* prompts_;
  QMenu* popMemOut_ = nullptr;
  QAction* miClear_ = nullptr;
  QAction* miSaveToFile_ = nullptr;
};

}  // namespace waymock::app
