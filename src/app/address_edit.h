#pragma once

#include <QLineEdit>

class QLabel;

namespace waymock::app {

// A field for a whole IPv4 address: four numbers of 0 to 255 joined by dots.
// What is typed stands as typed (no key is dropped, so typing can never turn
// into another address than the keys said), and until the text is a whole
// address the field stands for none and its problem line says why. A host
// name kept in the settings file stands as it is.
class AddressEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit AddressEdit(QWidget* parent = nullptr);

  // Where the reason shows, and is read as the field's description.
  void setProblemLine(QLabel* line);
  // The address the field stands for now: its text once that is whole (or a
  // kept host name), else empty, which sends nowhere.
  QString address() const;
  // Why the text stands for no address; empty when it stands for one.
  QString problem() const;
  // Brings the problem line in line with the text, after a text was set with
  // the field's signals blocked.
  void showProblem();

 private:
  QLabel* problemLine_ = nullptr;
};

// A problem line under a field: shown with the reason, or hidden without one;
// a screen reader hears the reason as the field's description.
void showProblemLine(QLabel& line, QWidget& field, const QString& problem);

}  // namespace waymock::app
