#pragma once

#include <QIcon>
#include <QPixmap>

namespace waymock::app {

// The program's own icon, drawn here so the window needs no image files: a
// globe with a position pin sending two waves. packaging/waymock.svg is the
// same picture for the desktop.
enum class IconFrame { Still, Wave1, Wave2 };

QPixmap drawWaymockIcon(int size, IconFrame frame = IconFrame::Still);
// The still icon at the usual sizes, for windows and the tray.
QIcon applicationIcon();
// One frame of the tray animation; the two frames differ in which wave shows.
QIcon trayIcon(IconFrame frame);

}  // namespace waymock::app
