// The output log: its entries, its context menu, clearing it and saving it as
// a log that file mode can replay. The whole log is spooled to disk; MemoOut
// shows its latest lines, so a long day costs no more memory than a minute.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPlainTextEdit>

#include "app/error_text.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "platform/folders.h"
#include "ui_main_window.h"

namespace waymock::app {

namespace {

QAction* menuItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  action->setToolTip(caption);
  action->setStatusTip(caption);
  return action;
}

}  // namespace

void TfrmMain::setUpOutputLog() {
  outputLog_ = std::make_unique<OutputSpool>(userCacheFolder());
  // The log only grows at its end; an undo history would keep a second copy.
  ui_->MemoOut->setUndoRedoEnabled(false);
  ui_->MemoOut->setMaximumBlockCount(kOutputLogShownLines);
  popMemOut_ = new QMenu(this);
  popMemOut_->setObjectName("popMemOut");
  miClear_ = menuItem(popMemOut_, "miClear", "Clear");
  miSaveToFile_ = menuItem(popMemOut_, "miSaveToFile", "Save to file");
  connect(ui_->MemoOut, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    popMemOutPopup();
    popMemOut_->popup(ui_->MemoOut->viewport()->mapToGlobal(at));
  });
  connect(miClear_, &QAction::triggered, this, [this] { miClearClick(); });
  connect(miSaveToFile_, &QAction::triggered, this,
          [this] { runGuarded(miSaveToFile_, [this] { saveOutputLogAs(miSaveToFile_); }); });
  onSave = [this] { btnSaveClick(); };

  askOutputLogFile = [this] {
    QFileDialog dialog(this, "Save to file");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("*.log");
    dialog.setDefaultSuffix("log");
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
  };
}

void TfrmMain::appendOutput(const std::string& burst) {
  try {
    outputLog_->append(burst);
    // The burst ends with a line end and the log adds its own: an empty line
    // follows each burst.
    QString text = QString::fromLatin1(burst.data(), static_cast<qsizetype>(burst.size()));
    text.remove(QLatin1Char('\r'));
    ui_->MemoOut->appendPlainText(text);
  } catch (const std::exception&) {
    outputLog_->clear();
    ui_->MemoOut->clear();
  }
}

void TfrmMain::popMemOutPopup() {
  runGuarded(popMemOut_, [this] {
    const bool text = !outputLog_->empty();
    miClear_->setEnabled(text);
    miSaveToFile_->setEnabled(text);
  });
}

void TfrmMain::miClearClick() {
  runGuarded(miClear_, [this] {
    outputLog_->clear();
    ui_->MemoOut->clear();
  });
}

void TfrmMain::btnSaveClick() {
  runGuarded(ui_->btnSave, [this] { saveOutputLogAs(ui_->btnSave); });
}

void TfrmMain::saveOutputLogAs(const QObject* sender) {
  if (outputLog_->empty() || !askOutputLogFile) return;
  const QString file = askOutputLogFile();
  if (file.isEmpty()) return;
  try {
    saveOutputLog(file);
  } catch (const std::exception& error) {
    // The user asked for the file: the error log alone would let them believe
    // it was saved.
    logHandlerError(sender, handlerErrorText(error));
    if (showError) showError(QString::fromStdString(errorBoxText(error)));
  }
}

void TfrmMain::saveOutputLog(const QString& fileName) {
  // The log holds each burst's bytes as they were sent, and they go back as
  // the same bytes.
  outputLog_->saveTo(QFile::encodeName(fileName).toStdString());
}

}  // namespace waymock::app
