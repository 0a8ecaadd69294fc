#include "app/address_edit.h"

#include <QRegularExpressionValidator>

namespace waymock::app {

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent) {
  const QString octet = QStringLiteral(R"(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)");
  setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral(R"((%1)(\.(%1)){3})").arg(octet)), this));
  // isModified() tells the user's typing from a text the program set.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!isModified() || hasAcceptableInput()) lastWhole_ = text;
  });
}

QString AddressEdit::address() const {
  return isModified() && !hasAcceptableInput() ? lastWhole_ : text();
}

void AddressEdit::focusOutEvent(QFocusEvent* event) {
  if (isModified() && !hasAcceptableInput()) setText(lastWhole_);
  QLineEdit::focusOutEvent(event);
}

}  // namespace waymock::app
