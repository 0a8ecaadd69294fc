#pragma once

#include <QLineEdit>

namespace waymock::app {

// A field for a whole IPv4 address. From the keyboard it takes four numbers
// of 0 to 255 and nothing else; a text left incomplete ("127.1", which the
// resolver would expand to 127.0.0.1, or "192.168.1") goes back to the last
// whole address when the field loses the focus. A text set by the program
// (read from the settings file) stands as it is.
class AddressEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit AddressEdit(QWidget* parent = nullptr);

  // The address the field stands for now: what the user typed once it is
  // whole, else the last whole one.
  QString address() const;

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QString lastWhole_;
};

}  // namespace waymock::app
