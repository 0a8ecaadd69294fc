#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

class QSettings;

namespace waymock::app {

// How a control's value is stored.
enum class StoredKind {
  WholeSpin,    // QSpinBox value, number text
  DecimalSpin,  // QDoubleSpinBox value, number text
  Check,        // QAbstractButton checked, "True" / "False"
  ComboIndex,   // QComboBox current index, "-1" for no selection
  LineText,     // QLineEdit text, trimmed
};

// One persisted control: the value name ("efAlt_Value"), the control and its
// kind; an `extra` value is kept in the group "Advanced", apart from the form's own
// (read from the former group "Extra" when "Advanced" lacks it).
struct StoredValue {
  QString name;
  QPointer<QWidget> control;
  StoredKind kind;
  bool extra = false;
};

// Whether `control` is a widget that holds a value of `kind`.
bool holdsKind(const QWidget& control, StoredKind kind);

// Keeps a window's position and a list of its controls' values between runs,
// every value a string, in the group "TfrmMain" of the per-user settings file
// (~/.config/waymock/waymock.ini, following XDG_CONFIG_HOME).
//
// The window calls restore() when it is first shown, before its own show
// handler, and save() when a close is accepted; if it never saved, the
// destructor saves (with "Visible" = "1"), so keep the storage as a member of
// the window, where it ends before the window's controls do.
class FormStorage : public QObject {
  Q_OBJECT

 public:
  // `settingsFile`: an INI file to use instead of the per-user one (tests).
  FormStorage(QWidget& window, std::vector<StoredValue> values, QString settingsFile = {});
  ~FormStorage() override;
  FormStorage(const FormStorage&) = delete;
  FormStorage& operator=(const FormStorage&) = delete;

  // Restores the position (when one was stored at the same pixels per inch and
  // it lies on a screen) and every value, each with its control's signals
  // blocked; runs once, later calls return false at once. A value that does not convert leaves its
  // control alone; an error restoring the position goes to the error log and the values are then
  // not restored.
  bool restore();
  // Whether restore() moved the window; when not, the window centres itself.
  bool positionRestored() const { return positionRestored_; }
  bool restored() const { return restored_; }

  // Writes the 9 placement values and every value. An error goes to the error
  // log under this object's name, "FormStorage", and the close goes on.
  // Returns whether everything was written.
  bool save();
  bool saved() const { return saved_; }

  // The text each kind stores for `value`'s control now; empty for a control
  // that no longer exists.
  static QString currentText(const StoredValue& value);
  // Sets `value`'s control from `text` as the user would (the control's range
  // applies); text that does not convert for its kind leaves it unchanged,
  // except a list position, which reads as 0.
  static void applyText(const StoredValue& value, const QString& text);

  QString fileName() const;

 private:
  std::unique_ptr<QSettings> open() const;
  void restorePosition(QSettings& settings);
  void write(bool acceptedClose);

  QPointer<QWidget> window_;
  std::vector<StoredValue> values_;
  QString settingsFile_;
  bool restored_ = false;
  bool positionRestored_ = false;
  bool saved_ = false;
};

}  // namespace waymock::app
