#include "app/output_group.h"

#include <QCheckBox>
#include <utility>

#include "app/handler_guard.h"
#include "generator/output_format.h"
#include "platform/socket_address.h"
#include "platform/tcp_server.h"
#include "ui_output_group.h"

namespace waymock::app {

OutputGroup::OutputGroup(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::OutputGroup>()) {
  ui_->setupUi(this);
  clientsTimer_.setParent(this);
  clientsTimer_.setObjectName("TcpClientsTimer");
  clientsTimer_.setInterval(500);
  connect(&clientsTimer_, &QTimer::timeout, this, &OutputGroup::TcpClientsTimerTimer);
  connect(ui_->cmbProfile, &QComboBox::currentIndexChanged, this, &OutputGroup::cmbProfileChange);
  connect(ui_->efTalker, &QLineEdit::textChanged, this, &OutputGroup::efTalkerChange);
  for (QCheckBox* box : {ui_->cbGps, ui_->cbGlonass, ui_->cbGalileo, ui_->cbBeidou}) {
    connect(box, &QCheckBox::toggled, this, &OutputGroup::efTalkerChange);
  }
  connect(ui_->cbTcp, &QCheckBox::toggled, this, &OutputGroup::cbTcpClick);
  connect(ui_->cbOnSecond, &QCheckBox::toggled, this, &OutputGroup::cbOnSecondClick);
  connect(ui_->efUdpTargets, &QLineEdit::textChanged, this, &OutputGroup::efUdpTargetsChange);
  cmbProfileChange();
  cbTcpClick();
  cbOnSecondClick();
  efUdpTargetsChange();
}

OutputGroup::~OutputGroup() = default;

void OutputGroup::cmbProfileChange() {
  runGuarded(ui_->cmbProfile, [this] {
    // The classic sentences carry GPS alone, whatever the boxes say.
    const bool nmea41 = ui_->cmbProfile->currentText() == "nmea41";
    for (QWidget* box : {ui_->cbGps, ui_->cbGlonass, ui_->cbGalileo, ui_->cbBeidou}) {
      box->setEnabled(nmea41);
    }
    // Each profile comes with its own ZDA form; the user may choose the
    // other afterwards (restored settings come after the profile).
    ui_->cmbZda->setCurrentIndex(ui_->cmbZda->findText(nmea41 ? "standard" : "classic"));
  });
  efTalkerChange();
}

void OutputGroup::efTalkerChange() {
  runGuarded(ui_->efTalker, [this] {
    generator::OutputFormat format;
    if (ui_->cmbProfile->currentText() == "nmea41")
      format.profile = generator::OutputProfile::nmea41;
    format.talker = ui_->efTalker->text().toStdString();
    format.constellations.clear();
    const std::pair<QCheckBox*, generator::Constellation> boxes[] = {
        {ui_->cbGps, generator::Constellation::gps},
        {ui_->cbGlonass, generator::Constellation::glonass},
        {ui_->cbGalileo, generator::Constellation::galileo},
        {ui_->cbBeidou, generator::Constellation::beidou}};
    for (const auto& [box, system] : boxes) {
      if (box->isChecked()) format.constellations.insert(system);
    }
    const char* problem = generator::talkerProblem(format);
    ui_->lblTalkerProblem->setText(problem ? QString::fromUtf8(problem) + " The talker is left out."
                                           : QString());
    ui_->lblTalkerProblem->setVisible(problem != nullptr);
  });
}

void OutputGroup::cbTcpClick() {
  runGuarded(ui_->cbTcp, [this] {
    const bool on = ui_->cbTcp->isChecked();
    ui_->efTcpPort->setEnabled(on);
    ui_->cbTcpAllInterfaces->setEnabled(on);
  });
}

void OutputGroup::cbOnSecondClick() {
  runGuarded(ui_->cbOnSecond,
             [this] { ui_->efTickPhase->setEnabled(ui_->cbOnSecond->isChecked()); });
}

void OutputGroup::efUdpTargetsChange() {
  runGuarded(ui_->efUdpTargets, [this] {
    QString problem;
    try {
      parseHostPortList(ui_->efUdpTargets->text().toStdString(), kUdpTargetForm);
    } catch (const std::exception& e) {
      problem = QString::fromStdString(e.what());
    }
    ui_->lblUdpTargetsProblem->setText(problem);
    ui_->lblUdpTargetsProblem->setVisible(!problem.isEmpty());
  });
}

void OutputGroup::openTargets(const SimulatorSettings& settings,
                              const std::vector<Transmitter*>& transmitters,
                              const NetworkTargets::Problem& problem) {
  targets_.open(settings, transmitters, problem);
  const TcpServer* tcp = targets_.tcp();
  ui_->lblTcpAddress->setText(
      tcp != nullptr ? QString::fromStdString(hostPortText(tcp->host(), tcp->port())) : QString());
  TcpClientsTimerTimer();
  if (tcp != nullptr) clientsTimer_.start();
}

void OutputGroup::closeTargets() {
  clientsTimer_.stop();
  targets_.close();
  ui_->lblTcpAddress->clear();
  TcpClientsTimerTimer();
}

void OutputGroup::TcpClientsTimerTimer() {
  runGuarded(&clientsTimer_, [this] {
    const TcpServer* tcp = targets_.tcp();
    const QString count = QString::number(tcp != nullptr ? tcp->clientCount() : 0);
    ui_->lblTcpClients->setText(count);
    ui_->lblTcpClients->setAccessibleName("TCP clients: " + count);
  });
}

}  // namespace waymock::app
