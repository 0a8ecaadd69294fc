#pragma once

#include <QGroupBox>
#include <memory>

#include "app/file_mode_controller.h"

namespace Ui {
class FileProgressGroup;
}

namespace waymock::app {

// File mode on the Advanced page: how far the replay is through the log and
// how long it still takes, a slider to jump to a burst while it runs, and
// how it is paced: the interval after each burst (the default), or the log's
// own timing at a rate; once, or in a loop. The pace is a setting of the
// window's table.
class FileProgressGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit FileProgressGroup(QWidget* parent = nullptr);
  ~FileProgressGroup() override;

  // The controls, for the settings table.
  Ui::FileProgressGroup& form() { return *ui_; }

  // What the values imply (enabled fields and the pace), once values were set with the
  // controls' signals blocked.
  void applyValues();

 public slots:
  void showProgress(const FileProgress& progress);

 signals:
  // The pacing changed (or was restored, see applyValues); the window reads
  // it with its settings.
  void paceChanged();
  // The user moved the slider: go on from this burst.
  void jumpRequested(std::size_t burst);

 private slots:
  void cbFilePacedClick();
  void trckFileBurstChange(int position);

 private:
  std::unique_ptr<Ui::FileProgressGroup> ui_;
};

}  // namespace waymock::app
