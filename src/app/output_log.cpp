#include "app/output_log.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>

#include "app/error_text.h"
#include "app/handler_guard.h"
#include "app/window_prompts.h"
#include "platform/folders.h"

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

OutputLog::OutputLog(QWidget* parent)
    : QPlainTextEdit(parent),
      spool_(std::make_unique<OutputSpool>(userCacheFolder())),
      prompts_(&WindowPrompts::desktop()) {
  // The log only grows at its end; an undo history would keep a second copy.
  setUndoRedoEnabled(false);
  setMaximumBlockCount(kShownLines);
  setContextMenuPolicy(Qt::CustomContextMenu);
  popMemOut_ = new QMenu(this);
  popMemOut_->setObjectName("popMemOut");
  miClear_ = menuItem(popMemOut_, "miClear", "Clear");
  miSaveToFile_ = menuItem(popMemOut_, "miSaveToFile", "Save to file");
  connect(this, &QWidget::customContextMenuRequested, this, &OutputLog::popMemOutPopup);
  connect(miClear_, &QAction::triggered, this, &OutputLog::miClearClick);
  connect(miSaveToFile_, &QAction::triggered, this, &OutputLog::btnSaveClick);
}

OutputLog::~OutputLog() = default;

void OutputLog::append(const std::string& burst) {
  try {
    spool_->append(burst);
    // The burst ends with a line end and the log adds its own: an empty line
    // follows each burst.
    QString text = QString::fromLatin1(burst.data(), static_cast<qsizetype>(burst.size()));
    text.remove(QLatin1Char('\r'));
    appendPlainText(text);
  } catch (const std::exception&) {
    spool_->clear();
    clear();
  }
}

void OutputLog::popMemOutPopup(const QPoint& at) {
  runGuarded(popMemOut_, [this] {
    const bool text = !spool_->empty();
    miClear_->setEnabled(text);
    miSaveToFile_->setEnabled(text);
  });
  popMemOut_->popup(viewport()->mapToGlobal(at));
}

void OutputLog::miClearClick() {
  runGuarded(miClear_, [this] {
    spool_->clear();
    clear();
  });
}

void OutputLog::btnSaveClick() {
  const QObject* from = sender() != nullptr ? sender() : this;
  runGuarded(from, [this, from] {
    if (spool_->empty()) return;
    QFileDialog dialog(window(), "Save to file");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("*.log");
    dialog.setDefaultSuffix("log");
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    const QString file = prompts_->chooseFile(dialog);
    if (file.isEmpty()) return;
    try {
      saveTo(file);
    } catch (const std::exception& error) {
      // The user asked for the file: the error log alone would let them
      // believe it was saved.
      logHandlerError(from, handlerErrorText(error));
      prompts_->showError(*window(), QString::fromStdString(errorBoxText(error)));
    }
  });
}

void OutputLog::saveTo(const QString& fileName) {
  // The log holds each burst's bytes as they were sent, and they go back as
  // the same bytes.
  spool_->saveTo(QFile::encodeName(fileName).toStdString());
}

}  // namespace waymock::app
