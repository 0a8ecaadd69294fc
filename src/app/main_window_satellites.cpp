// The Satellites page's editor, opened from btnSat.
#include <QPushButton>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/satellites_dialog.h"
#include "app/sky_plot_widget.h"
#include "app/window_prompts.h"
#include "platform/folders.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::btnSatClick() {
  runGuarded(ui_->btnSat, [this] {
    TfrmSatellites editor(generator_, satelliteFilePath(), this);
    connect(&editor, &TfrmSatellites::helpRequested, this, &TfrmMain::showHelp);
    // The satellites stop turning while the editor exists, whatever ends it.
    struct EditorOpen {
      TfrmMain& window;
      explicit EditorOpen(TfrmMain& w) : window(w) { window.satelliteEditorOpen_ = true; }
      ~EditorOpen() {
        window.satelliteEditorOpen_ = false;
        window.ui_->PaintBox->update();
      }
      EditorOpen(const EditorOpen&) = delete;
      EditorOpen& operator=(const EditorOpen&) = delete;
    } open(*this);
    prompts_.runModal(editor);
  });
}

}  // namespace waymock::app
