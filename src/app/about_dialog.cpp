#include "app/about_dialog.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStatusTipEvent>

#include "app/app_icons.h"
#include "app/handler_guard.h"
#include "app/help_viewer.h"
#include "support/error.h"
#include "ui_about_dialog.h"

#ifndef WAYMOCK_PRODUCT_PAGE
#define WAYMOCK_PRODUCT_PAGE "index.html"
#endif
#ifndef WAYMOCK_PUBLISHER_PAGE
#define WAYMOCK_PUBLISHER_PAGE "about.html"
#endif
#ifndef WAYMOCK_CONTACT_ADDRESS
#define WAYMOCK_CONTACT_ADDRESS ""
#endif

namespace waymock::app {

QUrl aboutPageUrl(const QString& setting, const QString& helpFolder) {
  if (setting.isEmpty()) return {};
  const QUrl url(setting);
  if (!url.scheme().isEmpty()) return url;
  return QUrl::fromLocalFile(helpFolder + "/" + setting);
}

QUrl aboutContactUrl(const QString& address) {
  if (address.isEmpty()) return {};
  return QUrl(address.startsWith("mailto:") ? address : "mailto:" + address);
}

AboutTargets defaultAboutTargets() {
  const QString help = findHelpFolder();
  return {aboutPageUrl(WAYMOCK_PRODUCT_PAGE, help), aboutPageUrl(WAYMOCK_PUBLISHER_PAGE, help),
          aboutContactUrl(WAYMOCK_CONTACT_ADDRESS)};
}

TfrmAbout::TfrmAbout(QWidget* parent, AboutTargets targets)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::TfrmAbout>()),
      targets_(std::move(targets)) {
  ui_->setupUi(this);
  setFixedSize(367, 165);
  setWindowIcon(applicationIcon());
  ui_->Image2->setPixmap(drawWaymockIcon(64));
  ui_->Image1->setPixmap(drawWaymockIcon(16));

  const auto link = [this](QWidget* control, const QUrl& target) {
    const QString hint = target.toString();
    control->setToolTip(hint);
    control->setStatusTip(hint);
    control->setAccessibleDescription(hint);
    control->installEventFilter(this);
  };
  link(ui_->lblWAYM, targets_.product);
  link(ui_->Image2, targets_.publisher);
  link(ui_->lblTarn, targets_.contact);
  ui_->lblTarn->setVisible(!targets_.contact.isEmpty());
  // The links answer only the mouse; the button gives keyboard users a way out
  // besides Escape, and as the default button it takes Enter.
  connect(ui_->btnClose, &QPushButton::clicked, this, &QDialog::accept);

  openUrl = [](const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
      raiseIo("Cannot open " + url.toString().toStdString() + ".");
  };
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this,
          [this] { runGuarded(this, [this] { FormKeyDown(Qt::Key_F1); }); });
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::lblWAYMClick() {
  openUrl(targets_.product);
}

void TfrmAbout::Image2Click() {
  openUrl(targets_.publisher);
}

void TfrmAbout::lblTarnClick() {
  openUrl(targets_.contact);
}

void TfrmAbout::FormKeyDown(int key) {
  if (key == Qt::Key_F1) emit helpRequested();
}

void TfrmAbout::centreOnParent() {
  if (QWidget* parent = parentWidget()) {
    move(parent->frameGeometry().center() -
         QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == ui_->lblWAYM) return runGuarded(watched, [this] { lblWAYMClick(); }), true;
    if (watched == ui_->Image2) return runGuarded(watched, [this] { Image2Click(); }), true;
    if (watched == ui_->lblTarn) return runGuarded(watched, [this] { lblTarnClick(); }), true;
  }
  return QDialog::eventFilter(watched, event);
}

bool TfrmAbout::event(QEvent* event) {
  // A dialog has no main window to show status tips, so it shows them itself.
  if (event->type() == QEvent::StatusTip) {
    ui_->StatusBar->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QDialog::event(event);
}

void TfrmAbout::showEvent(QShowEvent* event) {
  centreOnParent();
  QDialog::showEvent(event);
}

}  // namespace waymock::app
