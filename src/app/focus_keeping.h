#pragma once

#include <QWidget>
#include <initializer_list>
#include <utility>

namespace waymock::app {

// Enables or disables each control as given. A control that has the focus
// and goes off first hands it to `home` (its group), so the focus stays
// where the user was instead of jumping to the next control that is on,
// perhaps in another group or on another page.
void setEnabledKeepingFocus(QWidget& home,
                            std::initializer_list<std::pair<QWidget*, bool>> controls);

}  // namespace waymock::app
