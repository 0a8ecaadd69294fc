#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QTextBrowser;

namespace waymock::app {

// Help contexts of the window: the Simulator page, the Settings page, and the
// Satellites page with the satellite editor.
inline constexpr int kHelpSimulator = 20;
inline constexpr int kHelpSettings = 30;
inline constexpr int kHelpSatellites = 40;

// Where the help pages may be, in the order they are looked for: installed
// next to the program (<prefix>/share/waymock/help with the program in
// <prefix>/bin), then the source tree the program was built from.
// `programFolder`: the program's folder; empty: this program's.
QStringList helpFolderCandidates(const QString& programFolder = {});
// The first candidate holding index.html; empty when there is none.
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
