#pragma once

// The main window as every window test drives it: its prompts answered at
// once, its controls found by name and worked with QTest or trigger(), its
// timers fired through their own signal.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <string>

#include "app/about_dialog.h"
#include "app/file_mode_controller.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/output_log.h"
#include "app/sky_plot_widget.h"
#include "app/tray_controller.h"
#include "app/window_prompts.h"

namespace waymock::test {

// Answers every prompt at once and keeps what was asked.
struct AnsweredPrompts : app::WindowPrompts {
  QStringList errors;
  // The file dialogs: the answer, how often one was asked, and the last one's
  // filters and mode; `fileDialog`, when set, answers instead of `chosen`.
  QString chosen;
  int asked = 0;
  QStringList filters;
  QString selectedFilter;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  std::function<QString(QFileDialog&)> fileDialog;
  std::function<void(QDialog&)> modal;
  std::function<void(app::TfrmAbout&)> about;
  bool tray = true;

  void showError(QWidget&, const QString& text) override { errors << text; }
  void runModal(QDialog& dialog) override {
    if (modal) modal(dialog);
  }
  QString chooseFile(QFileDialog& dialog) override {
    ++asked;
    filters = dialog.nameFilters();
    selectedFilter = dialog.selectedNameFilter();
    fileMode = dialog.fileMode();
    return fileDialog ? fileDialog(dialog) : chosen;
  }
  void runAboutBox(app::TfrmAbout& about_) override {
    if (about) about(about_);
  }
  bool trayAvailable() override { return tray; }
};

template <class T>
T* namedChild(const QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// The controls the tests use, found by their names.
struct WindowControls {
  explicit WindowControls(const QObject& w) : w_(w) {}
  template <class T>
  T* get(const char* name) const {
    return namedChild<T>(w_, name);
  }
  const QObject& w_;
#define WAYMOCK_CONTROL(Type, name) Type* const name = get<Type>(#name)
  WAYMOCK_CONTROL(QTabWidget, PageControl);
  WAYMOCK_CONTROL(app::OutputLog, MemoOut);
  WAYMOCK_CONTROL(app::SkyPlotWidget, PaintBox);
  WAYMOCK_CONTROL(QAction, btnBack);
  WAYMOCK_CONTROL(QAction, btnForward);
  WAYMOCK_CONTROL(QAction, btnPause);
  WAYMOCK_CONTROL(QAction, btnStart);
  WAYMOCK_CONTROL(QAction, btnStop);
  WAYMOCK_CONTROL(QAction, btnLoad);
  WAYMOCK_CONTROL(QAction, btnSave);
  WAYMOCK_CONTROL(QAction, miSerialRefresh);
  WAYMOCK_CONTROL(QPushButton, btnFile);
  WAYMOCK_CONTROL(QPushButton, btnSat);
  WAYMOCK_CONTROL(QCheckBox, cbGPGLL);
  WAYMOCK_CONTROL(QCheckBox, cbGPGSV);
  WAYMOCK_CONTROL(QCheckBox, cbGPVTG);
  WAYMOCK_CONTROL(QCheckBox, cbGPZDA);
  WAYMOCK_CONTROL(QCheckBox, cbMove);
  WAYMOCK_CONTROL(QCheckBox, cbSerial);
  WAYMOCK_CONTROL(QCheckBox, cbUDP);
  WAYMOCK_CONTROL(QComboBox, cmbBaudRate);
  WAYMOCK_CONTROL(QComboBox, cmbCom);
  WAYMOCK_CONTROL(QDoubleSpinBox, efAlt);
  WAYMOCK_CONTROL(QDoubleSpinBox, efHeading);
  WAYMOCK_CONTROL(QSpinBox, efInterval);
  WAYMOCK_CONTROL(QLineEdit, efIp);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLnLongStep);
  WAYMOCK_CONTROL(QSpinBox, efLnMin);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLnSec);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLnShortStep);
  WAYMOCK_CONTROL(QSpinBox, efLtDeg);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLtLongStep);
  WAYMOCK_CONTROL(QSpinBox, efLtMin);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLtSec);
  WAYMOCK_CONTROL(QDoubleSpinBox, efLtShortStep);
  WAYMOCK_CONTROL(QDoubleSpinBox, efPDOP);
  WAYMOCK_CONTROL(QDoubleSpinBox, efSpeed);
  WAYMOCK_CONTROL(QSpinBox, efUdpPort);
  WAYMOCK_CONTROL(QLabel, lblAltitude);
  WAYMOCK_CONTROL(QLabel, lblLat);
  WAYMOCK_CONTROL(QLabel, lblLong);
  WAYMOCK_CONTROL(QLabel, lblSource);
  WAYMOCK_CONTROL(QSlider, trckLatitude);
  WAYMOCK_CONTROL(QSlider, trckLongitude);
  WAYMOCK_CONTROL(QTimer, MainTimer);
  WAYMOCK_CONTROL(QTimer, AnimateTimer);
  WAYMOCK_CONTROL(app::FileModeController, FileModeController);
  WAYMOCK_CONTROL(app::TrayController, TrayController);
#undef WAYMOCK_CONTROL
};

// A main window with answered prompts. Declared before the window, the
// prompts outlive it.
struct TestWindow {
  AnsweredPrompts prompts;
  app::TfrmMain w{prompts};
  WindowControls ui{w};
  QStringList& errors = prompts.errors;

  generator::TTarnNMEAGenerator& g() { return w.generator(); }
  void selectPort(const std::string& name) {
    ui.cmbCom->addItem(QString::fromStdString(name));
    ui.cmbCom->setCurrentIndex(ui.cmbCom->count() - 1);
  }
  // A timer's tick, at once.
  static void fire(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout"); }
  void tick() { fire(ui.MainTimer); }
  void click(const char* button) {
    QTest::mouseClick(namedChild<QToolButton>(w, button), Qt::LeftButton);
  }
  // The page the help viewer shows; empty before it opens.
  QString helpPageShown() {
    auto* viewer = w.findChild<app::HelpViewer*>("HelpViewer");
    return viewer != nullptr ? viewer->browser().source().fileName() : QString();
  }
  void showAndWait() {
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
};

}  // namespace waymock::test
