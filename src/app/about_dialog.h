#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>
#include <memory>

namespace Ui {
class TfrmAbout;
}

namespace waymock::app {

// Where the About box's three links lead.
struct AboutTargets {
  QUrl product;    // lblWAYM, the product's page
  QUrl publisher;  // Image2, the publisher's page
  QUrl contact;    // lblTarn, a "mailto:" link; empty: no contact link is shown
};

// A target as the build settings give it: a URL with a scheme as it stands, a
// bare name as a page of the help folder ("index.html"), and for the contact
// an e-mail address, which becomes a "mailto:" link. Empty stays empty.
QUrl aboutPageUrl(const QString& setting, const QString& helpFolder);
QUrl aboutContactUrl(const QString& address);
// The targets this program was built with (WAYMOCK_PRODUCT_PAGE,
// WAYMOCK_PUBLISHER_PAGE, WAYMOCK_CONTACT_ADDRESS in the CMake cache), the
// pages resolved against the help folder found at run time.
AboutTargets defaultAboutTargets();

// The About box: caption "About...", a fixed client area of 367 by 165,
// centred on its parent when shown, with the license and a Close button that
// has the focus. Each link shows its target as its hint and in the status
// bar, and opens it through `openUrl`.
class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr, AboutTargets targets = defaultAboutTargets());
  ~TfrmAbout() override;

  // Opens a link; by default through the desktop (QDesktopServices), raising
  // IoError when the desktop cannot open it.
  std::function<void(const QUrl&)> openUrl;

  void lblWAYMClick();
  void Image2Click();
  void lblTarnClick();
  // Only F1 is handled; it reaches the box whatever control has the focus.
  void FormKeyDown(int key);

  const AboutTargets& targets() const { return targets_; }
  void centreOnParent();

 signals:
  // F1: the user asks for the help contents.
  void helpRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TfrmAbout> ui_;
  AboutTargets targets_;
};

}  // namespace waymock::app
