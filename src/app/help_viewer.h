#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace waymock::app {

// Help contexts of the window: the Simulator page, the Settings page, and the
// Satellites page with the satellite editor.
inline constexpr int kHelpSimulator = 20;
inline constexpr int kHelpSettings = 30;
inline constexpr int kHelpSatellites = 40;
inline constexpr int kHelpAdvanced = 50;

// The help pages' folder next to the program, <prefix>/share/waymock/help with
// the program in <prefix>/bin (the build folder has the same layout), when it
// holds index.html; else empty. `programFolder`: empty for this program's.
QString findHelpFolder(const QString& programFolder = {});
// The page of a help context; throws Error for a context that has none.
QString helpPage(int context);

// The help pages in a window of their own (not modal): the contents, or the
// page of a context. A page that is missing raises IoError, so the handler
// guard writes it to the error log.
class HelpViewer : public QDialog {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr, QString folder = findHelpFolder());

  void showContents();
  void showContext(int context);

  const QString& folder() const { return folder_; }
  QTextBrowser& browser() { return *browser_; }

 private:
  void showPage(const QString& page);

  QString folder_;
  QTextBrowser* browser_;
};

}  // namespace waymock::app
