#include "app/address_edit.h"

#include <QLabel>
#include <QRegularExpression>

namespace waymock::app {

namespace {

bool wholeAddress(const QString& text) {
  static const QRegularExpression whole(QStringLiteral(
      R"(^((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)\.){3}(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)$)"));
  return whole.match(text).hasMatch();
}

// A name with a letter in it; a text of digits and dots alone is an address
// or nothing ("127.1", which the resolver would read as 127.0.0.1, is nothing).
bool hostName(const QString& text) {
  static const QRegularExpression name(QStringLiteral(R"(^[A-Za-z0-9.-]*[A-Za-z][A-Za-z0-9.-]*$)"));
  return name.match(text).hasMatch();
}

}  // namespace

void showProblemLine(QLabel& line, QWidget& field, const QString& problem) {
  line.setText(problem);
  line.setVisible(!problem.isEmpty());
  field.setAccessibleDescription(problem);
}

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent) {
  connect(this, &QLineEdit::textChanged, this, &AddressEdit::showProblem);
}

void AddressEdit::setProblemLine(QLabel* line) {
  problemLine_ = line;
  // The line keeps its place while hidden, so the page does not move.
  QSizePolicy policy = line->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  line->setSizePolicy(policy);
  showProblem();
}

QString AddressEdit::problem() const {
  const QString shown = text().trimmed();
  // isModified() tells the user's typing from a text the program set.
  if (wholeAddress(shown) || (!isModified() && hostName(shown))) return {};
  return QStringLiteral("Not a whole address: four numbers of 0 to 255, joined by dots.");
}

QString AddressEdit::address() const {
  return problem().isEmpty() ? text().trimmed() : QString();
}

void AddressEdit::showProblem() {
  if (problemLine_ != nullptr) showProblemLine(*problemLine_, *this, problem());
}

}  // namespace waymock::app
