#include "app/focus_keeping.h"

namespace waymock::app {

void setEnabledKeepingFocus(QWidget& home,
                            std::initializer_list<std::pair<QWidget*, bool>> controls) {
  for (const auto& [control, on] : controls) {
    if (on || !control->hasFocus()) continue;
    // A group box without a focus policy of its own hands the focus straight
    // on to its first control, the one going off; a click focus keeps it
    // (and Tab still passes it by).
    if (home.focusPolicy() == Qt::NoFocus) home.setFocusPolicy(Qt::ClickFocus);
    home.setFocus(Qt::OtherFocusReason);
  }
  for (const auto& [control, on] : controls) control->setEnabled(on);
}

}  // namespace waymock::app
