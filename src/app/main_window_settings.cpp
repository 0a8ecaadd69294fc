// The one place that knows which control holds which setting.
#include <QAbstractSpinBox>
#include <algorithm>
#include <charconv>

#include "app/address_edit.h"
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "ui_main_window.h"

namespace waymock::app {

namespace {

// The exact decimal a two-decimal field shows (59.99, not the nearest double).
// Both conversions ignore the process's locale, which QApplication takes from
// the environment: under a decimal-comma locale strtold would stop at the ".".
long double decimalValue(const DecimalSpinEdit* spin) {
  const QByteArray text = QByteArray::number(spin->typedValue(), 'f', spin->decimals());
  long double value = 0;
  std::from_chars(text.constData(), text.constData() + text.size(), value);
  return value;
}

void setDecimalValue(QDoubleSpinBox* spin, long double value) {
  spin->setValue(static_cast<double>(value));
}

void selectText(QComboBox* combo, const std::string& text) {
  combo->setCurrentIndex(combo->findText(QString::fromStdString(text)));
}

}  // namespace

SimulatorSettings TfrmMain::readSettings() const {
  const Ui::TfrmMain& u = *ui_;
  SimulatorSettings s;
  s.latitudeDegree = u.efLtDeg->typedValue();
  s.latitudeMinute = u.efLtMin->typedValue();
  s.latitudeSecond = decimalValue(u.efLtSec);
  s.latitudeDirection = u.efLtDir->currentText().toStdString();
  s.longitudeDegree = u.efLnDeg->typedValue();
  s.longitudeMinute = u.efLnMin->typedValue();
  s.longitudeSecond = decimalValue(u.efLnSec);
  s.longitudeDirection = u.efLnDir->currentText().toStdString();
  s.altitude = decimalValue(u.efAlt);
  s.speed = decimalValue(u.efSpeed);
  s.heading = decimalValue(u.efHeading);
  s.geoHeight = decimalValue(u.efGeoHeight);
  s.magneticVariation = decimalValue(u.efMagneticVariation);
  s.magneticVariationDirection = u.efMagneticVariationDirection->currentText().toStdString();
  s.magneticHeading = decimalValue(u.efMagneticHeading);
  s.pdop = decimalValue(u.efPDOP);
  s.hdop = decimalValue(u.efHDOP);
  s.vdop = decimalValue(u.efVDOP);
  s.latitudeShortStep = decimalValue(u.efLtShortStep);
  s.latitudeLongStep = decimalValue(u.efLtLongStep);
  s.longitudeShortStep = decimalValue(u.efLnShortStep);
  s.longitudeLongStep = decimalValue(u.efLnLongStep);
  s.gpgll = u.cbGPGLL->isChecked();
  s.gprmc = u.cbGPRMC->isChecked();
  s.gpvtg = u.cbGPVTG->isChecked();
  s.gpgga = u.cbGPGGA->isChecked();
  s.gpgsa = u.cbGPGSA->isChecked();
  s.gpgsv = u.cbGPGSV->isChecked();
  s.gpzda = u.cbGPZDA->isChecked();
  s.serial = u.cbSerial->isChecked();
  s.serialPort = u.cmbCom->currentText().toStdString();
  s.baudRate = u.cmbBaudRate->currentText().toStdString();
  s.udp = u.cbUDP->isChecked();
  s.udpHost = u.efIp->address().toStdString();
  s.udpPort = u.efUdpPort->typedValue();
  s.interval = u.efInterval->typedValue();
  s.moveSatellites = u.cbMove->isChecked();
  return s;
}

void TfrmMain::writeSettings(const SimulatorSettings& s) {
  Ui::TfrmMain& u = *ui_;
  u.efLtDeg->setValue(s.latitudeDegree);
  u.efLtMin->setValue(s.latitudeMinute);
  setDecimalValue(u.efLtSec, s.latitudeSecond);
  selectText(u.efLtDir, s.latitudeDirection);
  u.efLnDeg->setValue(s.longitudeDegree);
  u.efLnMin->setValue(s.longitudeMinute);
  setDecimalValue(u.efLnSec, s.longitudeSecond);
  selectText(u.efLnDir, s.longitudeDirection);
  setDecimalValue(u.efAlt, s.altitude);
  setDecimalValue(u.efSpeed, s.speed);
  setDecimalValue(u.efHeading, s.heading);
  setDecimalValue(u.efGeoHeight, s.geoHeight);
  setDecimalValue(u.efMagneticVariation, s.magneticVariation);
  selectText(u.efMagneticVariationDirection, s.magneticVariationDirection);
  setDecimalValue(u.efMagneticHeading, s.magneticHeading);
  setDecimalValue(u.efPDOP, s.pdop);
  setDecimalValue(u.efHDOP, s.hdop);
  setDecimalValue(u.efVDOP, s.vdop);
  setDecimalValue(u.efLtShortStep, s.latitudeShortStep);
  setDecimalValue(u.efLtLongStep, s.latitudeLongStep);
  setDecimalValue(u.efLnShortStep, s.longitudeShortStep);
  setDecimalValue(u.efLnLongStep, s.longitudeLongStep);
  u.cbGPGLL->setChecked(s.gpgll);
  u.cbGPRMC->setChecked(s.gprmc);
  u.cbGPVTG->setChecked(s.gpvtg);
  u.cbGPGGA->setChecked(s.gpgga);
  u.cbGPGSA->setChecked(s.gpgsa);
  u.cbGPGSV->setChecked(s.gpgsv);
  u.cbGPZDA->setChecked(s.gpzda);
  u.cbSerial->setChecked(s.serial);
  selectText(u.cmbCom, s.serialPort);
  selectText(u.cmbBaudRate, s.baudRate);
  u.cbUDP->setChecked(s.udp);
  u.efIp->setText(QString::fromStdString(s.udpHost));
  u.efUdpPort->setValue(static_cast<int>(s.udpPort));
  u.efInterval->setValue(static_cast<int>(std::min<long double>(s.interval, 2147483647)));
  u.cbMove->setChecked(s.moveSatellites);
}

}  // namespace waymock::app
