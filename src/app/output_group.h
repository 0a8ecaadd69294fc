#pragma once

#include <QGroupBox>
#include <QTimer>
#include <memory>
#include <vector>

#include "engine/network_targets.h"
#include "generator/output_format.h"

namespace Ui {
class OutputGroup;
}

namespace waymock {
class Transmitter;
struct SimulatorSettings;
}  // namespace waymock

namespace waymock::app {

// The Advanced page's Output group: how the sentences are written (profile,
// ZDA form, satellite systems, talker), the targets beyond the Settings page's
// (a TCP server and further UDP targets), ticks on the second and file mode's
// modern receiver. Its values are settings of the window's table; the window
// reads them and opens the targets here at Start.
class OutputGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit OutputGroup(QWidget* parent = nullptr);
  ~OutputGroup() override;

  // The controls, for the settings table.
  Ui::OutputGroup& form() { return *ui_; }

  // Opens the TCP server and the further UDP targets the settings ask for as
  // targets of the transmitters, and starts showing the clients; each one
  // that cannot be opened goes to `problem` and the rest go on.
  void openTargets(const SimulatorSettings& settings, const std::vector<Transmitter*>& transmitters,
                   const NetworkTargets::Problem& problem);
  void closeTargets();
  // What the values imply (enabled fields, the problem lines), once values
  // were set with the controls' signals blocked.
  void applyValues();

 private slots:
  void cmbProfileChange();
  void cbTcpClick();
  void cbOnSecondClick();
  // Says what is wrong with the listed UDP targets as they are typed.
  void efUdpTargetsChange();
  // Letters stand as capitals; a text that is no talker, or a talker over
  // several satellite systems, is said to be left out, and why.
  void efTalkerChange();
  // Shows the TCP clients connected now.
  void TcpClientsTimerTimer();

 private:
  // The systems' boxes and the talker's problem line as the profile implies.
  void showProfile();
  void showTcpAddress(const QString& address);
  // The output the profile, talker and systems shown would give.
  generator::OutputFormat talkerFormat() const;

  std::unique_ptr<Ui::OutputGroup> ui_;
  NetworkTargets targets_;
  QTimer clientsTimer_;
};

}  // namespace waymock::app
