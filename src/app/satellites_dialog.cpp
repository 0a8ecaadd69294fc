#include "app/satellites_dialog.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTableWidgetItem>
#include <charconv>
#include <cstdint>

#include "app/handler_guard.h"
#include "app/help_viewer.h"
#include "generator/nmea_generator.h"
#include "support/error.h"
#include "ui_satellites_dialog.h"

namespace waymock::app {

namespace {

enum Column { kId, kElevation, kAzimuth, kSnr };

// A column's text as a whole number for the generator; a value that does not
// fit its 16-bit field maps onto the largest one so the range check refuses it.
std::uint16_t columnValue(const QString& text) {
  const std::string s = text.toStdString();
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
    raise("'" + s + "' is not a valid integer value.");
  }
  return value < 0 || value > 0xFFFF ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(value);
}

QIcon toolIcon(const QWidget& widget, const char* themeName, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(themeName), widget.style()->standardIcon(fallback));
}

using generator::Constellation;

std::vector<SatelliteRow> rowsOf(bool gps) {
  std::vector<SatelliteRow> rows;
  for (const Constellation system : generator::kConstellations) {
    if ((system == Constellation::gps) != gps) continue;
    const std::uint16_t count = generator::TTarnNMEAGenerator::satelliteCount(system);
    for (std::uint16_t number = 1; number <= count; ++number) rows.push_back({system, number});
  }
  return rows;
}

const std::vector<SatelliteRow>& gpsRows() {
  static const std::vector<SatelliteRow> rows = rowsOf(true);
  return rows;
}
const std::vector<SatelliteRow>& moreRows() {
  static const std::vector<SatelliteRow> rows = rowsOf(false);
  return rows;
}

// A row's name: the PRN, or the satellite file's section name ("GL7").
QString rowName(const SatelliteRow& row) {
  return QString::fromLatin1(
             generator::constellationInfo(row.system).section.data(),
             static_cast<qsizetype>(generator::constellationInfo(row.system).section.size())) +
         QString::number(row.number);
}

void setUpList(QTableWidget& list, int rows) {
  list.setRowCount(rows);
  list.horizontalHeader()->setSectionsClickable(false);
  list.horizontalHeader()->setSortIndicatorShown(false);
  // The selection stays as visible when the list loses the focus.
  QPalette palette = list.palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  list.setPalette(palette);
  for (int row = 0; row < rows; ++row) {
    for (int column = kId; column <= kSnr; ++column) {
      auto* item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                     (column == kId ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
      item->setTextAlignment(column == kId ? Qt::AlignLeft | Qt::AlignVCenter
                                           : Qt::AlignRight | Qt::AlignVCenter);
      list.setItem(row, column, item);
    }
  }
  // Space toggles the current row's box wherever in the row the user clicked:
  // the current cell stays in the box's column.
  QObject::connect(list.selectionModel(), &QItemSelectionModel::currentChanged, &list,
                   [&list](const QModelIndex& current) {
                     if (current.isValid() && current.column() != kId) {
                       list.selectionModel()->setCurrentIndex(current.siblingAtColumn(kId),
                                                              QItemSelectionModel::NoUpdate);
                     }
                   });
}

}  // namespace

TfrmSatellites::TfrmSatellites(generator::TTarnNMEAGenerator& generator, std::string satelliteFile,
                               QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::TfrmSatellites>()),
      generator_(generator),
      fileName_(std::move(satelliteFile)) {
  ui_->setupUi(this);
  ui_->PaintBox->setGenerator(&generator_);
  ui_->btnSet->setIcon(toolIcon(*this, "dialog-ok-apply", QStyle::SP_DialogApplyButton));
  ui_->btnReset->setIcon(toolIcon(*this, "edit-clear", QStyle::SP_DialogResetButton));

  setUpList(*ui_->lvSat, static_cast<int>(gpsRows().size()));
  setUpList(*ui_->lvMoreSat, static_cast<int>(moreRows().size()));
  // Only a toggle by the user reaches here: the handlers that write rows
  // block the lists' signals.
  for (QTableWidget* list : {ui_->lvSat, ui_->lvMoreSat}) {
    connect(list, &QTableWidget::itemChanged, this, &TfrmSatellites::SetSatellites);
  }
  connect(ui_->btnSet, &QToolButton::clicked, this, &TfrmSatellites::btnSetClick);
  connect(ui_->btnReset, &QToolButton::clicked, this, &TfrmSatellites::btnResetClick);
}

TfrmSatellites::~TfrmSatellites() {
  // Destroyed while still shown (its owner closing): the file is saved all
  // the same.
  if (open_) FormClose();
}

void TfrmSatellites::FormShow() {
  runGuarded(this, [this] {
    open_ = true;
    changed_ = false;
    loadFailed_ = !runGuarded(this, [this] { generator_.LoadSatellites(fileName_); });
    fillList();
  });
}

void TfrmSatellites::fillList() {
  for (const auto& [list, rows] : lists()) {
    const QSignalBlocker quiet(list);
    for (int row = 0; row < static_cast<int>(rows->size()); ++row) {
      const SatelliteRow& at = (*rows)[static_cast<std::size_t>(row)];
      const generator::TSatellite* sat = generator_.satellite(at.system, at.number);
      list->item(row, kId)->setText(rowName(at));
      list->item(row, kId)->setCheckState(sat && sat->Active() ? Qt::Checked : Qt::Unchecked);
      list->item(row, kElevation)->setText(QString::number(sat ? sat->Elevation() : 0));
      list->item(row, kAzimuth)->setText(QString::number(sat ? sat->Azimuth() : 0));
      list->item(row, kSnr)->setText(QString::number(sat ? sat->SignalToNoiseRatio() : 0));
    }
  }
  ui_->PaintBox->update();
}

std::vector<int> TfrmSatellites::selectedRows(const QTableWidget& list) {
  std::vector<int> rows;
  const QItemSelectionModel* selection = list.selectionModel();
  for (int row = 0; row < list.rowCount(); ++row) {
    if (selection->isRowSelected(row, QModelIndex())) rows.push_back(row);
  }
  return rows;
}

void TfrmSatellites::btnSetClick() {
  runGuarded(ui_->btnSet, [this] {
    // A tool button takes no focus: a number still being typed counts too.
    for (auto* spin : {ui_->efElevation, ui_->efAzimuth, ui_->efSNR}) spin->interpretText();
    const QString values[] = {QString::number(ui_->efElevation->value()),
                              QString::number(ui_->efAzimuth->value()),
                              QString::number(ui_->efSNR->value())};
    writeSelectedRows(Qt::Checked, values);
  });
}

void TfrmSatellites::btnResetClick() {
  runGuarded(ui_->btnReset, [this] {
    const QString zeros[] = {"0", "0", "0"};
    writeSelectedRows(Qt::Unchecked, zeros);
  });
}

void TfrmSatellites::writeSelectedRows(Qt::CheckState state, const QString (&values)[3]) {
  bool any = false;
  for (const auto& [list, rows] : lists()) {
    const QSignalBlocker quiet(list);
    for (const int row : selectedRows(*list)) {
      any = true;
      list->item(row, kId)->setCheckState(state);
      for (const int column : {kElevation, kAzimuth, kSnr}) {
        list->item(row, column)->setText(values[column - kElevation]);
      }
    }
  }
  if (any) applyRows();
}

void TfrmSatellites::SetSatellites() {
  runGuarded(this, [this] { applyRows(); });
}

void TfrmSatellites::applyRows() {
  changed_ = true;
  for (const auto& [list, rows] : lists()) {
    for (int row = 0; row < static_cast<int>(rows->size()); ++row) {
      const SatelliteRow& at = (*rows)[static_cast<std::size_t>(row)];
      generator_.setSatellite(at.system, at.number,
                              list->item(row, kId)->checkState() == Qt::Checked,
                              columnValue(list->item(row, kElevation)->text()),
                              columnValue(list->item(row, kAzimuth)->text()),
                              columnValue(list->item(row, kSnr)->text()));
    }
  }
  ui_->PaintBox->update();
}

std::array<TfrmSatellites::ListRows, 2> TfrmSatellites::lists() const {
  return {{{ui_->lvSat, &gpsRows()}, {ui_->lvMoreSat, &moreRows()}}};
}

void TfrmSatellites::FormClose() {
  runGuarded(this, [this] {
    open_ = false;
    if (loadFailed_ && !changed_) return;
    generator_.SaveSatellites(fileName_);
  });
}

void TfrmSatellites::FormKeyDown(const QKeyEvent& event) {
  runGuarded(this, [this, &event] {
    if (event.key() == Qt::Key_F1) emit helpRequested(kHelpSatellites);
  });
}

void TfrmSatellites::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmSatellites::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous() && open_) FormClose();
}

void TfrmSatellites::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    FormKeyDown(*event);
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TfrmSatellites::event(QEvent* event) {
  // A dialog has no main window to show the hovered control's hint.
  if (event->type() == QEvent::StatusTip) {
    ui_->StatusBar->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QDialog::event(event);
}

}  // namespace waymock::app
