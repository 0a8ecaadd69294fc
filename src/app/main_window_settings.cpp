// The window's settings, through the one table of settings_table.cpp.
#include "app/main_window.h"
#include "app/settings_table.h"

namespace waymock::app {

SimulatorSettings TfrmMain::readSettings() const {
  return settingsShownIn(*ui_);
}

void TfrmMain::writeSettings(const SimulatorSettings& settings) {
  showSettingsIn(*ui_, settings);
}

}  // namespace waymock::app
