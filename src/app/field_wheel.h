#pragma once

class QWidget;

namespace waymock::app {

// The mouse wheel over a number field or a list that does not have the focus
// scrolls the page it is on instead of changing the value unseen; a field
// the user clicked or tabbed to takes the wheel as before. Applies to every
// spin box and combo box under `window`.
void guardFieldsFromWheel(QWidget& window);

}  // namespace waymock::app
