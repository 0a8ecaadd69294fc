#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "generator/output_format.h"

class QKeyEvent;

namespace Ui {
class TfrmSatellites;
}

namespace waymock::generator {
class TTarnNMEAGenerator;
}

class QTableWidget;

namespace waymock::app {

// The satellite a row of the editor's lists stands for: the GPS list's rows
// are PRNs 1 to 32, the other list's the other systems' satellites in order.
struct SatelliteRow {
  generator::Constellation system;
  std::uint16_t number;
};

// The satellite editor: a checkable list of the generator's 32 GPS
// satellites, one beside it of the other systems' (GLONASS, Galileo, BeiDou),
// and their sky plot. Showing it loads the satellite file into the generator,
// every change in it goes to the generator at once, and hiding or destroying
// it saves the file. Meant to be created for one modal showing and then
// destroyed; while it exists the owner keeps the satellites from turning.
//
// Errors (a bad satellite file, a value the generator refuses, a file that
// cannot be written) become one error-log line each and the dialog goes on.
class TfrmSatellites : public QDialog {
  Q_OBJECT

 public:
  // The generator must outlive the dialog; `satelliteFile` is the file it
  // loads on show and saves on close.
  TfrmSatellites(generator::TTarnNMEAGenerator& generator, std::string satelliteFile,
                 QWidget* parent = nullptr);
  ~TfrmSatellites() override;

 signals:
  // F1 asks for help at context 40.
  void helpRequested(int context);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private slots:
  // The handlers, each guarded, so an error never leaves them. The rows'
  // check boxes are the list's own (a click on the box, Space on the current
  // row); each toggle runs SetSatellites. Handlers that write rows block the
  // list's signals meanwhile and send the rows once, after.

  // Loads the satellite file (a bad section stops the load there, the earlier
  // ones stay applied) and fills the list from the generator.
  void FormShow();
  // Checks the selected rows and gives them the three edits' values.
  void btnSetClick();
  // Clears the selected rows' check boxes and values.
  void btnResetClick();
  // Sends every row to the generator in order and repaints the plot; a row
  // the generator refuses stops it there.
  void SetSatellites();
  // Saves the satellite file. A file the load could not read and the user
  // has not changed is left as it was, so its unread sections are kept.
  void FormClose();
  void FormKeyDown(const QKeyEvent& event);

 private:
  using ListRows = std::pair<QTableWidget*, const std::vector<SatelliteRow>*>;
  // Each list with the satellites of its rows.
  std::array<ListRows, 2> lists() const;
  void fillList();
  void applyRows();
  static std::vector<int> selectedRows(const QTableWidget& list);
  // Set and Reset: the selected rows of both lists get `state` and `values`
  // (elevation, azimuth, SNR); then every row goes to the generator.
  void writeSelectedRows(Qt::CheckState state, const QString (&values)[3]);

  std::unique_ptr<Ui::TfrmSatellites> ui_;
  generator::TTarnNMEAGenerator& generator_;
  std::string fileName_;
  bool open_ = false;        // shown and not yet saved
  bool loadFailed_ = false;  // the last load stopped at a bad section or an unreadable file
  bool changed_ = false;     // the rows went to the generator since the load
};

}  // namespace waymock::app
