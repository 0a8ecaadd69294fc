#include "app/control_group.h"

#include <QFile>
#include <QFileDialog>

#include "app/handler_guard.h"
#include "app/window_prompts.h"
#include "control/control_commands.h"
#include "control/control_server.h"
#include "control/fault_schedule.h"
#include "engine/simulation.h"
#include "platform/control_socket.h"
#include "support/error.h"
#include "ui_control_group.h"

namespace waymock::app {

namespace {

double unixNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

ControlGroup::ControlGroup(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::ControlGroup>()) {
  ui_->setupUi(this);
  ui_->efControlSocket->setPlaceholderText(QString::fromStdString(defaultControlSocketPath()));
  connect(ui_->cbControl, &QCheckBox::toggled, this, &ControlGroup::cbControlClick);
  connect(ui_->btnScenario, &QPushButton::clicked, this, &ControlGroup::btnScenarioClick);
}

ControlGroup::~ControlGroup() {
  if (simulation_ != nullptr) simulation_->setBurstFilter(nullptr);
}

void ControlGroup::attach(control::ControlTarget& target, Simulation& simulation,
                          BackgroundWork& work, WindowPrompts& prompts) {
  target_ = &target;
  simulation_ = &simulation;
  work_ = &work;
  prompts_ = &prompts;
  schedule(std::chrono::seconds(1));
}

void ControlGroup::detach() {
  notifier_.reset();
  server_.reset();
  listening_.clear();
  if (simulation_ != nullptr) simulation_->setBurstFilter(nullptr);
  simulation_ = nullptr;
  target_ = nullptr;
}

void ControlGroup::schedule(std::chrono::nanoseconds interval) {
  auto faults = std::make_unique<control::FaultSchedule>(interval);
  faults->onEvent = [this](const control::FaultEvent& event) {
    ui_->lvControlEvents->addItem(QString::fromStdString(control::faultEventText(event)));
    ui_->lvControlEvents->scrollToBottom();
    if (server_) server_->publish(control::faultStreamLine(event));
  };
  simulation_->setBurstFilter(faults.get());
  commands_ = std::make_unique<control::ControlCommands>(*target_, *faults, work_);
  faults_ = std::move(faults);
}

std::string ControlGroup::scenarioFile() const {
  return QFile::encodeName(ui_->efScenario->text().trimmed()).toStdString();
}

void ControlGroup::prepareRun(std::chrono::nanoseconds interval,
                              const std::vector<control::ScheduledFault>& scenario) {
  if (simulation_ == nullptr) return;
  schedule(interval);
  for (const control::ScheduledFault& fault : scenario) faults_->add(fault);
  ui_->lvControlEvents->clear();
  bursts_ = 0;
}

void ControlGroup::applyValues() {
  cbControlClick();
}

void ControlGroup::transmitted(const std::string& burst) {
  ++bursts_;
  if (server_ && server_->hasSubscribers())
    server_->publish(control::burstStreamLine(burst, unixNow()));
}

void ControlGroup::cbControlClick() {
  runGuarded(ui_->cbControl, [this] {
    notifier_.reset();
    server_.reset();
    listening_.clear();
    if (!ui_->cbControl->isChecked() || target_ == nullptr) return;
    const QString given = ui_->efControlSocket->text().trimmed();
    const std::string path =
        given.isEmpty() ? defaultControlSocketPath() : QFile::encodeName(given).toStdString();
    auto server = std::make_unique<control::ControlServer>(
        [this](std::string_view request, const control::ControlServer::Reply& reply,
               bool& subscribe) { commands_->answer(request, reply, subscribe); });
    try {
      server->listenUnix(path);
    } catch (const Error& e) {
      ui_->cbControl->setChecked(false);
      prompts_->showError(*window(), QString::fromStdString(e.what()));
      return;
    }
    server_ = std::move(server);
    listening_ = path;
    notifier_ = std::make_unique<QSocketNotifier>(server_->fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this,
            &ControlGroup::ControlSocketActivated);
  });
}

void ControlGroup::ControlSocketActivated() {
  runGuarded(ui_->cbControl, [this] {
    if (server_) server_->service();
  });
}

void ControlGroup::btnScenarioClick() {
  runGuarded(ui_->btnScenario, [this] {
    if (prompts_ == nullptr) return;
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters{"Scenarios (*.json)", "*.* (*)"};
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    const QString chosen = prompts_->chooseFile(dialog);
    if (!chosen.isEmpty()) ui_->efScenario->setText(chosen);
  });
}

}  // namespace waymock::app
