// The output log: its context menu, clearing it and saving it as a log that
// file mode can replay.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "support/atomic_file.h"
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
  // The log only grows at its end; an undo history would keep a second copy.
  ui_->MemoOut->setUndoRedoEnabled(false);
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
          [this] { runGuarded(miSaveToFile_, [this] { saveOutputLogAs(); }); });
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

void TfrmMain::popMemOutPopup() {
  runGuarded(popMemOut_, [this] {
    const bool text = !ui_->MemoOut->document()->isEmpty();
    miClear_->setEnabled(text);
    miSaveToFile_->setEnabled(text);
  });
}

void TfrmMain::miClearClick() {
  runGuarded(miClear_, [this] { ui_->MemoOut->clear(); });
}

void TfrmMain::btnSaveClick() {
  runGuarded(ui_->btnSave, [this] { saveOutputLogAs(); });
}

void TfrmMain::saveOutputLogAs() {
  if (ui_->MemoOut->document()->isEmpty() || !askOutputLogFile) return;
  const QString file = askOutputLogFile();
  if (!file.isEmpty()) saveOutputLog(file);
}

void TfrmMain::saveOutputLog(const QString& fileName) {
  const QTextDocument& log = *ui_->MemoOut->document();
  std::string text;
  text.reserve(static_cast<std::size_t>(log.characterCount()) +
               static_cast<std::size_t>(log.blockCount()) * 2);
  // The log holds each burst's bytes as Latin-1 characters: they go back as
  // the same bytes.
  for (QTextBlock block = log.begin(); block.isValid(); block = block.next()) {
    text += block.text().toLatin1().toStdString();
    text += "\r\n";
  }
  writeFileAtomically(QFile::encodeName(fileName).toStdString(), text);
}

}  // namespace waymock::app
