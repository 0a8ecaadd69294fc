#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "app/form_storage.h"
#include "engine/simulator_settings.h"

class QWidget;

namespace Ui {
class TfrmMain;
}

namespace waymock::app {

// The setting a control holds, as a member of SimulatorSettings.
using SettingMember = std::variant<int SimulatorSettings::*, long double SimulatorSettings::*,
                                   bool SimulatorSettings::*, std::string SimulatorSettings::*>;

// One setting: the control that holds it (a member of the form, so a renamed
// control does not compile), the name it is kept under between runs (none: it
// is not kept), the setting, and how the store writes it. Settings beyond the
// form's own kept values are marked `extra` and kept in a group of their own.
struct SettingField {
  QWidget* (*control)(Ui::TfrmMain& form);
  const char* storedKey;
  SettingMember member;
  StoredKind kind;
  bool extra = false;
};

// Every setting of the Settings page, the Satellites page's Move option and
// the Advanced page's groups, the kept ones in the order they are written.
extern const std::array<SettingField, 67> kSettingFields;

// The controls' settings; a number still being typed counts as the field will
// correct it, and the field is left as typed.
SimulatorSettings settingsShownIn(Ui::TfrmMain& form);
// Shows `settings` in the controls, each within its control's range.
void showSettingsIn(Ui::TfrmMain& form, const SimulatorSettings& settings);
// The kept settings for FormStorage. Throws Error ("The control efAlt of
// efAlt_Value is of another kind.") for a control that does not hold its kind.
std::vector<StoredValue> storedSettings(Ui::TfrmMain& form);

}  // namespace waymock::app
