#include "app/file_progress_group.h"

#include <QSignalBlocker>
#include <algorithm>

#include "app/handler_guard.h"
#include "engine/progress_text.h"
#include "ui_file_progress_group.h"

namespace waymock::app {

FileProgressGroup::FileProgressGroup(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::FileProgressGroup>()) {
  ui_->setupUi(this);
  connect(ui_->cbFilePaced, &QCheckBox::toggled, this, &FileProgressGroup::cbFilePacedClick);
  connect(ui_->cbFileLoop, &QCheckBox::toggled, this, &FileProgressGroup::paceChanged);
  connect(ui_->efFileRate, &QDoubleSpinBox::valueChanged, this, &FileProgressGroup::paceChanged);
  connect(ui_->trckFileBurst, &QSlider::valueChanged, this,
          &FileProgressGroup::trckFileBurstChange);
}

FileProgressGroup::~FileProgressGroup() = default;

void FileProgressGroup::applyValues() {
  cbFilePacedClick();
}

void FileProgressGroup::showProgress(const FileProgress& progress) {
  QSlider& slider = *ui_->trckFileBurst;
  // Only the user's moves jump.
  const QSignalBlocker blocker(slider);
  if (!progress.loaded) {
    ui_->lblFileProgress->setText(QStringLiteral("No log loaded"));
    slider.setMaximum(0);
    slider.setEnabled(false);
    return;
  }
  ui_->lblFileProgress->setText(QString::fromStdString(
      progress.total == 0 && progress.modernOnly > 0
          ? modernLogText(progress.modernOnly)
          : burstProgressText(progress.sent, progress.total, progress.timeLeft)));
  slider.setMaximum(static_cast<int>(std::max<std::size_t>(progress.total, 1) - 1));
  // The burst last sent; a slider held by the user stays where it is.
  if (!slider.isSliderDown()) {
    slider.setValue(static_cast<int>(std::max<std::size_t>(progress.sent, 1) - 1));
  }
  slider.setEnabled(progress.replaying && progress.total > 0);
}

void FileProgressGroup::cbFilePacedClick() {
  runGuarded(ui_->cbFilePaced, [this] {
    ui_->efFileRate->setEnabled(ui_->cbFilePaced->isChecked());
    emit paceChanged();
  });
}

void FileProgressGroup::trckFileBurstChange(int position) {
  runGuarded(ui_->trckFileBurst,
             [this, position] { emit jumpRequested(static_cast<std::size_t>(position)); });
}

}  // namespace waymock::app
