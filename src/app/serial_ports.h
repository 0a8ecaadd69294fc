#pragma once

#include <QStringList>

namespace waymock::app {

// The device paths of the system's serial ports, in the order it lists them.
QStringList systemPortNames();

}  // namespace waymock::app
