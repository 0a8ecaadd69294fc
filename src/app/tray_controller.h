#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

#include "app/app_icons.h"
#include "engine/tray_animation.h"

namespace waymock::app {

// The tray icon the main window hides to: hint "Waymock", the still icon, or
// two frames taking turns while sentences are sent. Once a second (its
// AnimateTimer) it asks the window, by animationDue, what it should show. Whether the desktop has a
// tray at all is asked of `available` (by default Qt's own check), so the
// window can minimise normally where there is none and tests can pretend.
class TrayController : public QObject {
  Q_OBJECT

 public:
  using Availability = std::function<bool()>;
  explicit TrayController(Availability available = {}, QObject* parent = nullptr);

  // Whether a system tray is there now.
  bool available() const;
  // Shows the icon; false, with nothing shown, when there is no tray, and the
  // caller then minimises the window instead of hiding it.
  bool show();
  void hide();
  bool isShown() const { return shown_; }

  // Frames take turns every `interval` milliseconds while animated and shown;
  // an interval of 0 or less, or no animation, shows the still icon. Setting
  // the same values again leaves a running countdown alone.
  void setAnimated(bool animated);
  bool animated() const { return animated_; }
  void setInterval(int milliseconds);
  int interval() const { return interval_; }

  // The frame interval and whether the frames take turns, as the window
  // decided them on the last animationDue.
  void showAnimation(const TrayAnimation& animation);
  TrayAnimation animation() const { return animation_; }

  // What the icon shows now.
  IconFrame frame() const { return frame_; }
  // Shows the next frame, as the frame timer does.
  void nextFrame();

  QSystemTrayIcon& icon() { return icon_; }

 signals:
  // A click with the left button; other buttons do nothing.
  void leftClicked();
  // Every second: the window answers with showAnimation.
  void animationDue();

 private:
  void activated(QSystemTrayIcon::ActivationReason reason);
  void update();
  void showFrame(IconFrame frame);

  Availability available_;
  QSystemTrayIcon icon_;
  QTimer frameTimer_;
  QTimer animateTimer_;
  TrayAnimation animation_;
  bool shown_ = false;
  bool animated_ = false;
  int interval_ = 0;
  IconFrame frame_ = IconFrame::Still;
  QIcon still_, wave1_, wave2_;
};

}  // namespace waymock::app
