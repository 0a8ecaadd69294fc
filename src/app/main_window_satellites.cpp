// The Satellites page: the sky plot and the satellite editor.
#include <QPushButton>

#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/satellites_dialog.h"
#include "app/sky_plot_widget.h"
#include "platform/folders.h"
#include "ui_main_window.h"

namespace waymock::app {

void TfrmMain::setUpSatellitesPage() {
  ui_->PaintBox->setGenerator(&generator_);
  runModal = [](QDialog& dialog) { dialog.exec(); };
  connect(ui_->btnSat, &QPushButton::clicked, this, [this] { btnSatClick(); });
}

void TfrmMain::btnSatClick() {
  runGuarded(ui_->btnSat, [this] {
    TfrmSatellites editor(generator_, satelliteFilePath(), this);
    editor.onHelp = [this](int context) {
      if (onHelp) onHelp(context);
    };
    // The satellites stop turning while the editor exists, whatever ends it.
    struct EditorOpen {
      TfrmMain& window;
      explicit EditorOpen(TfrmMain& w) : window(w) { window.satelliteEditorOpen = true; }
      ~EditorOpen() {
        window.satelliteEditorOpen = false;
        window.ui_->PaintBox->update();
      }
      EditorOpen(const EditorOpen&) = delete;
      EditorOpen& operator=(const EditorOpen&) = delete;
    } open(*this);
    runModal(editor);
  });
}

}  // namespace waymock::app
