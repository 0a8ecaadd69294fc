#pragma once

#include <QGroupBox>
#include <memory>

#include "motion/motion.h"

namespace waymock::control {
struct MoveRequest;
}

namespace Ui {
class MotionGroup;
}

namespace waymock::app {

class WindowPrompts;

// The Advanced page's Motion group: how the fix moves (the Settings page's
// steps, the default; speed and heading; a route), the route file and how it
// is followed, noise; and, while a motion runs, how far it has come and a
// slider to jump along the route. Its values are settings of the window's
// table; the window makes the motion from them at Start.
class MotionGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit MotionGroup(QWidget* parent = nullptr);
  ~MotionGroup() override;

  // The controls, for the settings table.
  Ui::MotionGroup& form() { return *ui_; }
  // Where the route file dialog is asked; must outlive the group.
  void setPrompts(WindowPrompts& prompts) { prompts_ = &prompts; }

  // A motion runs: its choices wait for the next Start, and the slider jumps
  // along its route (when it has one).
  void setRunning(bool running);
  // How far the running motion has come; nothing when none runs.
  void showProgress(const motion::MotionProgress* progress, char decimalPoint);
  // A motion a script started (the control channel's move), shown in the
  // group's fields as if chosen there: the model, and a route's file, speed,
  // rate and end.
  void showMove(const control::MoveRequest& request);
  // What the values imply (enabled fields), once values were set with the
  // controls' signals blocked.
  void applyValues();

 signals:
  // The user moved the slider: go on from this many metres along the route.
  void jumpRequested(double metres);

 private slots:
  void cmbMotionChange();
  void btnRouteFileClick();
  void trckMotionChange(int position);

 private:
  std::unique_ptr<Ui::MotionGroup> ui_;
  WindowPrompts* prompts_ = nullptr;
  bool running_ = false;
};

}  // namespace waymock::app
