#include "app/output_group.h"

#include <QCheckBox>
#include <QValidator>
#include <utility>

#include "app/address_edit.h"
#include "app/handler_guard.h"
#include "generator/output_format.h"
#include "platform/socket_address.h"
#include "platform/tcp_server.h"
#include "ui_output_group.h"

namespace waymock::app {

namespace {

// Letters typed in the talker field stand as capitals; nothing typed is
// dropped, so what is no talker stays in view with the reason beside it.
class CapitalLetters : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& text, int&) const override {
    text = text.toUpper();
    return Acceptable;
  }
};

bool isTalker(const QString& text) {
  return text.size() == 2 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'A' && text[1] <= 'Z';
}

}  // namespace

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
  ui_->efTalker->setValidator(new CapitalLetters(ui_->efTalker));
  applyValues();
  showTcpAddress({});
}

void OutputGroup::applyValues() {
  showProfile();
  cbTcpClick();
  cbOnSecondClick();
  efUdpTargetsChange();
  efTalkerChange();
}

OutputGroup::~OutputGroup() = default;

void OutputGroup::cmbProfileChange() {
  runGuarded(ui_->cmbProfile, [this] {
    // Each profile comes with its own ZDA form; the user may choose the
    // other afterwards. Restored settings keep their own choice, as their
    // signals are blocked.
    const bool nmea41 = ui_->cmbProfile->currentText() == "nmea41";
    ui_->cmbZda->setCurrentIndex(ui_->cmbZda->findText(nmea41 ? "standard" : "classic"));
  });
  showProfile();
}

void OutputGroup::showProfile() {
  runGuarded(ui_->cmbProfile, [this] {
    // The classic sentences carry GPS alone, whatever the boxes say.
    const bool nmea41 = ui_->cmbProfile->currentText() == "nmea41";
    for (QWidget* box : {ui_->cbGps, ui_->cbGlonass, ui_->cbGalileo, ui_->cbBeidou}) {
      box->setEnabled(nmea41);
    }
  });
  efTalkerChange();
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
    showProblemLine(*ui_->lblUdpTargetsProblem, *ui_->efUdpTargets, problem);
  });
}

void OutputGroup::efTalkerChange() {
  runGuarded(ui_->efTalker, [this] {
    // A text the program set (the settings file's) is not typed.
    const QString text = ui_->efTalker->text();
    if (text != text.toUpper()) {
      ui_->efTalker->setText(text.toUpper());
      return;
    }
    QString problem;
    if (!text.isEmpty() && !isTalker(text)) {
      problem = QStringLiteral(
          "A talker is two letters, A to Z; until then each sentence carries its own.");
    } else if (const char* systems = generator::talkerProblem(talkerFormat())) {
      problem = QString::fromUtf8(systems) + " The talker is left out.";
    }
    showProblemLine(*ui_->lblTalkerProblem, *ui_->efTalker, problem);
  });
}

generator::OutputFormat OutputGroup::talkerFormat() const {
  generator::OutputFormat format;
  if (ui_->cmbProfile->currentText() == "nmea41") format.profile = generator::OutputProfile::nmea41;
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
  return format;
}

void OutputGroup::showTcpAddress(const QString& address) {
  ui_->lblTcpAddress->setText(address);
  // A label's accessible name stands in for its text: it carries both.
  ui_->lblTcpAddress->setAccessibleName(address.isEmpty()
                                            ? QStringLiteral("TCP address: not listening")
                                            : QStringLiteral("TCP address: ") + address);
}

void OutputGroup::openTargets(const SimulatorSettings& settings,
                              const std::vector<Transmitter*>& transmitters,
                              const NetworkTargets::Problem& problem) {
  targets_.open(settings, transmitters, problem);
  const TcpServer* tcp = targets_.tcp();
  showTcpAddress(tcp != nullptr ? QString::fromStdString(hostPortText(tcp->host(), tcp->port()))
                                : QString());
  TcpClientsTimerTimer();
  if (tcp != nullptr) clientsTimer_.start();
}

void OutputGroup::closeTargets() {
  clientsTimer_.stop();
  targets_.close();
  showTcpAddress({});
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
