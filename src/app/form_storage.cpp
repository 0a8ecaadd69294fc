#include "app/form_storage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QHash>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/handler_guard.h"
#include "support/atomic_file.h"
#include "support/error.h"
#include "support/settings_text.h"

namespace waymock::app {

namespace {

constexpr const char* kGroup = "TfrmMain";
// Settings the form did not keep from the start stay out of its group, in the
// Advanced page's.
constexpr const char* kExtraGroup = "Advanced";
// Where earlier versions kept them: read when the new group lacks a value,
// and dropped on the next save.
constexpr const char* kFormerExtraGroup = "Extra";

// Runs `each` for the form's own values in its group, then for the extra ones
// in theirs; the form's group is current again after.
template <typename Each>
void forEachInGroup(QSettings& settings, const std::vector<StoredValue>& values, Each each) {
  for (const bool extra : {false, true}) {
    if (extra) {
      settings.endGroup();
      settings.beginGroup(kExtraGroup);
    }
    for (const StoredValue& value : values) {
      if (value.extra == extra) each(value);
    }
  }
  settings.endGroup();
  settings.beginGroup(kGroup);
}
// Qt keeps no minimised or maximised position of its own; this is the text
// for "none".
constexpr const char* kNoMinMaxPos = "-1,-1,-1,-1";

std::string text(const QString& value) {
  return value.toStdString();
}

template <typename Widget>
Widget& controlAs(const StoredValue& value) {
  auto* widget = qobject_cast<Widget*>(value.control.data());
  if (widget == nullptr) raise("The control of " + text(value.name) + " is of another kind.");
  return *widget;
}

// A hand-edited file may hold "1,2,3,4" unquoted, which QSettings reads as a list.
QString readText(const QSettings& settings, const QString& name, const QString& fallback) {
  const QVariant value = settings.value(name, fallback);
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

// The values kept in the former group; the form's group is current again after.
QHash<QString, QString> formerExtraValues(QSettings& settings) {
  QHash<QString, QString> values;
  settings.endGroup();
  settings.beginGroup(kFormerExtraGroup);
  for (const QString& name : settings.childKeys())
    values.insert(name, readText(settings, name, {}));
  settings.endGroup();
  settings.beginGroup(kGroup);
  return values;
}

QString screenSuffix() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen != nullptr ? screen->size() : QSize(0, 0);
  return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

// The stored text under the name for this screen size, else under the plain name.
QString readPosition(const QSettings& settings, const QString& name) {
  const QString sized = readText(settings, name + screenSuffix(), {});
  return sized.isEmpty() ? readText(settings, name, {}) : sized;
}

// The desktop's scale factor changes the device pixel ratio and not the
// logical pixels per inch, yet it moves and grows the window as much as a
// change of pixels per inch does: it counts as one.
int pixelsPerInch(const QWidget& window) {
  return qRound(window.logicalDpiY() * window.devicePixelRatioF());
}

// The stored rectangle is the frame's, title bar included, and the restored
// position is the frame's too. Before the window manager has framed the window
// its frame is unknown, so the position is handed to the native window as the
// frame's: the window manager then puts the frame, not the inside, there.
void moveFrameTo(QWidget& window, QPoint topLeft) {
  window.move(topLeft);
  if (QWindow* native = window.windowHandle()) native->setFramePosition(topLeft);
}

bool onSomeScreen(const QRect& rect) {
  const auto screens = QGuiApplication::screens();
  return std::any_of(screens.begin(), screens.end(),
                     [&](const QScreen* screen) { return screen->geometry().intersects(rect); });
}

}  // namespace

bool holdsKind(const QWidget& control, StoredKind kind) {
  switch (kind) {
    case StoredKind::WholeSpin:
      return qobject_cast<const QSpinBox*>(&control) != nullptr;
    case StoredKind::DecimalSpin:
      return qobject_cast<const QDoubleSpinBox*>(&control) != nullptr;
    case StoredKind::Check:
      return qobject_cast<const QAbstractButton*>(&control) != nullptr;
    case StoredKind::ComboIndex:
      return qobject_cast<const QComboBox*>(&control) != nullptr;
    case StoredKind::LineText:
      return qobject_cast<const QLineEdit*>(&control) != nullptr;
  }
  return false;
}

FormStorage::FormStorage(QWidget& window, std::vector<StoredValue> values, QString settingsFile)
    : window_(&window), values_(std::move(values)), settingsFile_(std::move(settingsFile)) {
  setObjectName("FormStorage");
}

FormStorage::~FormStorage() {
  if (!saved_ && window_) runGuarded(this, [this] { write(false); });
}

std::unique_ptr<QSettings> FormStorage::open() const {
  auto settings = settingsFile_.isEmpty()
                      ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                    "waymock", "waymock")
                      : std::make_unique<QSettings>(settingsFile_, QSettings::IniFormat);
  settings->beginGroup(kGroup);
  return settings;
}

QString FormStorage::fileName() const {
  return open()->fileName();
}

QString FormStorage::currentText(const StoredValue& value) {
  if (!value.control) return {};
  std::string result;
  switch (value.kind) {
    case StoredKind::WholeSpin:
      result = formatSettingNumber(controlAs<QSpinBox>(value).value());
      break;
    case StoredKind::DecimalSpin:
      result = formatSettingNumber(controlAs<QDoubleSpinBox>(value).value());
      break;
    case StoredKind::Check:
      result = formatSettingBool(controlAs<QAbstractButton>(value).isChecked());
      break;
    case StoredKind::ComboIndex:
      result = formatSettingIndex(controlAs<QComboBox>(value).currentIndex());
      break;
    case StoredKind::LineText:
      result = trimSettingText(text(controlAs<QLineEdit>(value).text()));
      break;
  }
  return QString::fromStdString(result);
}

void FormStorage::applyText(const StoredValue& value, const QString& stored) {
  if (!value.control) return;
  const std::string given = trimSettingText(text(stored));
  switch (value.kind) {
    case StoredKind::WholeSpin:
      if (const auto number = parseSettingNumber(given)) {
        auto& spin = controlAs<QSpinBox>(value);
        // Clamped before rounding, so a huge stored number cannot overflow int.
        spin.setValue(
            int(std::lround(std::clamp(*number, double(spin.minimum()), double(spin.maximum())))));
      }
      break;
    case StoredKind::DecimalSpin:
      if (const auto number = parseSettingNumber(given)) {
        controlAs<QDoubleSpinBox>(value).setValue(*number);
      }
      break;
    case StoredKind::Check:
      if (const auto checked = parseSettingBool(given)) {
        controlAs<QAbstractButton>(value).setChecked(*checked);
      }
      break;
    case StoredKind::ComboIndex: {
      auto& combo = controlAs<QComboBox>(value);
      const int index = parseSettingIndex(given);
      combo.setCurrentIndex(index >= 0 && index < combo.count() ? index : -1);
      break;
    }
    case StoredKind::LineText:
      controlAs<QLineEdit>(value).setText(QString::fromStdString(given));
      break;
  }
}

bool FormStorage::restore() {
  if (restored_ || !window_) return false;
  restored_ = true;
  const auto settings = open();
  if (parseSettingInt(text(readText(*settings, "FormVersion", {}))).value_or(0) < 0) return true;
  if (!runGuarded(this, [&] { restorePosition(*settings); })) return true;
  const QHash<QString, QString> former = formerExtraValues(*settings);
  forEachInGroup(*settings, values_, [&](const StoredValue& value) {
    try {
      const QString fallback =
          value.extra ? former.value(value.name, currentText(value)) : currentText(value);
      // A handler that acts at once (the control channel listens when its box
      // is checked) would see the values restored before its own, not after:
      // the window applies what the values imply once, when all are in.
      const QSignalBlocker quiet(value.control.data());
      applyText(value, readText(*settings, value.name, fallback));
    } catch (const std::exception&) {
      // One value that cannot be restored leaves the others to be restored.
    }
  });
  return true;
}

void FormStorage::restorePosition(QSettings& settings) {
  const QString minMaxPos = readPosition(settings, "MinMaxPos");
  const QString normPos = readPosition(settings, "NormPos");
  const int ppi = pixelsPerInch(*window_);
  const auto storedPpi = parseSettingInt(text(readText(settings, "PixelsPerInch", {})));
  if ((minMaxPos.isEmpty() && normPos.isEmpty()) || storedPpi.value_or(ppi) != ppi) return;

  // The window's size is fixed: only where it stands is restored.
  const QRect frame = window_->frameGeometry();
  const auto normal = parseSettingQuad(
      text(normPos),
      {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()});
  const int left = normal[0], top = normal[1], right = normal[2];
  const QRect wanted(left, top, frame.width(), frame.height());
  // A position left by a screen that is gone would put the window out of reach.
  if (left < right && onSomeScreen(wanted)) {
    moveFrameTo(*window_, QPoint(left, top));
    positionRestored_ = true;
  }
}

bool FormStorage::save() {
  if (!window_) return false;
  saved_ = true;
  return runGuarded(this, [this] { write(true); });
}

void FormStorage::write(bool acceptedClose) {
  const auto settings = open();
  // The store writes through links itself; one planted by another user would
  // choose which of this user's files is replaced.
  if (std::string why = foreignLinkIn(text(settings->fileName())); !why.empty()) {
    throw IoError("Cannot save the settings to " + text(settings->fileName()) + ".",
                  std::move(why));
  }
  const auto put = [&](const QString& name, const QString& value) {
    settings->setValue(name, value);
  };
  const QRect frame = window_->frameGeometry();
  const bool minimised = window_->isMinimized() || !window_->isVisible();
  const QString showCmd = minimised ? "2" : window_->isMaximized() ? "3" : "1";
  const QString normPos = QString::fromStdString(formatSettingQuad(
      {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()}));

  put("FormVersion", "0");
  put("Flags", "0");
  put("ShowCmd", showCmd);
  put("PixelsPerInch", QString::number(pixelsPerInch(*window_)));
  put("MinMaxPos" + screenSuffix(), kNoMinMaxPos);
  put("MinMaxPos", kNoMinMaxPos);
  put("NormPos" + screenSuffix(), normPos);
  put("NormPos", normPos);
  put("Visible", acceptedClose ? "0" : "1");
  forEachInGroup(*settings, values_, [&](const StoredValue& value) {
    if (value.control) put(value.name, currentText(value));
  });
  settings->endGroup();
  settings->remove(kFormerExtraGroup);
  settings->beginGroup(kGroup);
  settings->sync();
  if (settings->status() != QSettings::NoError) {
    raiseIo("Cannot save the settings to " + text(settings->fileName()) + ".");
  }
}

}  // namespace waymock::app
