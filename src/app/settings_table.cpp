#include "app/settings_table.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <charconv>
#include <climits>

#include "app/address_edit.h"
#include "app/control_group.h"
#include "app/file_progress_group.h"
#include "app/motion_group.h"
#include "app/output_group.h"
#include "app/spin_edit.h"
#include "support/error.h"
#include "ui_control_group.h"
#include "ui_file_progress_group.h"
#include "ui_main_window.h"
#include "ui_motion_group.h"
#include "ui_output_group.h"

namespace waymock::app {

namespace {

using S = SimulatorSettings;
using K = StoredKind;
using U = Ui::TfrmMain;

template <auto member>
QWidget* in(U& form) {
  return form.*member;
}

// A control of one of the Advanced page's groups, each a form of its own.
template <auto group, auto member>
QWidget* inGroup(U& form) {
  return (form.*group)->form().*member;
}
template <auto member>
constexpr auto inOutput = inGroup<&U::OutputGroup, member>;
template <auto member>
constexpr auto inMotion = inGroup<&U::MotionGroup, member>;
template <auto member>
constexpr auto inFileMode = inGroup<&U::FileProgressGroup, member>;
template <auto member>
constexpr auto inControl = inGroup<&U::ControlGroup, member>;
using O = Ui::OutputGroup;
using M = Ui::MotionGroup;
using F = Ui::FileProgressGroup;
using C = Ui::ControlGroup;

// The exact decimal a two-decimal field shows (59.99, not the nearest double).
// Both conversions ignore the process's locale, which QApplication takes from
// the environment: under a decimal-comma locale strtold would stop at the ".".
long double decimalValue(const DecimalSpinEdit& spin) {
  const QByteArray text = QByteArray::number(spin.typedValue(), 'f', spin.decimals());
  long double value = 0;
  std::from_chars(text.constData(), text.constData() + text.size(), value);
  return value;
}

long double numberIn(QWidget* control) {
  if (auto* decimal = qobject_cast<DecimalSpinEdit*>(control)) return decimalValue(*decimal);
  return qobject_cast<WholeSpinEdit*>(control)->typedValue();
}

void showNumber(QWidget* control, long double value) {
  if (auto* decimal = qobject_cast<DecimalSpinEdit*>(control)) {
    decimal->setValue(static_cast<double>(value));
  } else {
    // The largest values do not fit the field: its own range then applies.
    qobject_cast<WholeSpinEdit*>(control)->setValue(
        static_cast<int>(std::clamp<long double>(value, INT_MIN, INT_MAX)));
  }
}

std::string textIn(QWidget* control) {
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText().toStdString();
  if (auto* address = qobject_cast<AddressEdit*>(control)) return address->address().toStdString();
  return qobject_cast<QLineEdit*>(control)->text().trimmed().toStdString();
}

void showText(QWidget* control, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (auto* combo = qobject_cast<QComboBox*>(control)) {
    combo->setCurrentIndex(combo->findText(shown));
  } else {
    qobject_cast<QLineEdit*>(control)->setText(shown);
  }
}

}  // namespace

const std::array<SettingField, 67> kSettingFields = {{
    {&in<&U::efAlt>, "efAlt_Value", &S::altitude, K::DecimalSpin},
    {&in<&U::efHeading>, "efHeading_Value", &S::heading, K::DecimalSpin},
    {&in<&U::efLnDeg>, "efLnDeg_Value", &S::longitudeDegree, K::WholeSpin},
    {&in<&U::efLnLongStep>, "efLnLongStep_Value", &S::longitudeLongStep, K::DecimalSpin},
    {&in<&U::efLnMin>, "efLnMin_Value", &S::longitudeMinute, K::WholeSpin},
    {&in<&U::efLnSec>, "efLnSec_Value", &S::longitudeSecond, K::DecimalSpin},
    {&in<&U::efLnShortStep>, "efLnShortStep_Value", &S::longitudeShortStep, K::DecimalSpin},
    {&in<&U::efLtDeg>, "efLtDeg_Value", &S::latitudeDegree, K::WholeSpin},
    {&in<&U::efLtLongStep>, "efLtLongStep_Value", &S::latitudeLongStep, K::DecimalSpin},
    {&in<&U::efLtMin>, "efLtMin_Value", &S::latitudeMinute, K::WholeSpin},
    {&in<&U::efLtSec>, "efLtSec_Value", &S::latitudeSecond, K::DecimalSpin},
    {&in<&U::efLtShortStep>, "efLtShortStep_Value", &S::latitudeShortStep, K::DecimalSpin},
    {&in<&U::efSpeed>, "efSpeed_Value", &S::speed, K::DecimalSpin},
    {&in<&U::efLtDir>, "efLtDir_ItemIndex", &S::latitudeDirection, K::ComboIndex},
    {&in<&U::efLnDir>, "efLnDir_ItemIndex", &S::longitudeDirection, K::ComboIndex},
    {&in<&U::efPDOP>, "efPDOP_Value", &S::pdop, K::DecimalSpin},
    {&in<&U::efVDOP>, "efVDOP_Value", &S::vdop, K::DecimalSpin},
    {&in<&U::efHDOP>, "efHDOP_Value", &S::hdop, K::DecimalSpin},
    {&in<&U::cbGPGGA>, "cbGPGGA_Checked", &S::gpgga, K::Check},
    {&in<&U::cbGPGLL>, "cbGPGLL_Checked", &S::gpgll, K::Check},
    {&in<&U::cbGPGSA>, "cbGPGSA_Checked", &S::gpgsa, K::Check},
    {&in<&U::cbGPGSV>, "cbGPGSV_Checked", &S::gpgsv, K::Check},
    {&in<&U::cbGPRMC>, "cbGPRMC_Checked", &S::gprmc, K::Check},
    {&in<&U::cbGPVTG>, "cbGPVTG_Checked", &S::gpvtg, K::Check},
    {&in<&U::cbGPZDA>, "cbGPZDA_Checked", &S::gpzda, K::Check},
    {&in<&U::cbMove>, "cbMove_Checked", &S::moveSatellites, K::Check},
    {&in<&U::cbSerial>, "cbSerial_Checked", &S::serial, K::Check},
    {&in<&U::cbUDP>, "cbUDP_Checked", &S::udp, K::Check},
    {&in<&U::cmbCom>, "cmbCom_ItemIndex", &S::serialPort, K::ComboIndex},
    {&in<&U::efInterval>, "efInterval_Value", &S::interval, K::WholeSpin},
    {&in<&U::efUdpPort>, "efUdpPort_Value", &S::udpPort, K::WholeSpin},
    {&in<&U::efIp>, "efIp_Text", &S::udpHost, K::LineText},
    {&in<&U::cmbBaudRate>, "cmbBaudRate_ItemIndex", &S::baudRate, K::ComboIndex},
    // Not kept between runs.
    {&in<&U::efGeoHeight>, nullptr, &S::geoHeight, K::DecimalSpin},
    {&in<&U::efMagneticVariation>, nullptr, &S::magneticVariation, K::DecimalSpin},
    {&in<&U::efMagneticVariationDirection>, nullptr, &S::magneticVariationDirection, K::ComboIndex},
    {&in<&U::efMagneticHeading>, nullptr, &S::magneticHeading, K::DecimalSpin},
    // The Advanced page's, kept in its own group.
    {inOutput<&O::cmbProfile>, "cmbProfile_ItemIndex", &S::outputProfile, K::ComboIndex, true},
    {inOutput<&O::cmbZda>, "cmbZda_ItemIndex", &S::zdaForm, K::ComboIndex, true},
    {inOutput<&O::cbGps>, "cbGps_Checked", &S::gpsSatellites, K::Check, true},
    {inOutput<&O::cbGlonass>, "cbGlonass_Checked", &S::glonassSatellites, K::Check, true},
    {inOutput<&O::cbGalileo>, "cbGalileo_Checked", &S::galileoSatellites, K::Check, true},
    {inOutput<&O::cbBeidou>, "cbBeidou_Checked", &S::beidouSatellites, K::Check, true},
    {inOutput<&O::efTalker>, "efTalker_Text", &S::talker, K::LineText, true},
    {inOutput<&O::cbTcp>, "cbTcp_Checked", &S::tcpServer, K::Check, true},
    {inOutput<&O::efTcpPort>, "efTcpPort_Value", &S::tcpPort, K::WholeSpin, true},
    {inOutput<&O::cbTcpAllInterfaces>, "cbTcpAllInterfaces_Checked", &S::tcpAllInterfaces, K::Check,
     true},
    {inOutput<&O::efUdpTargets>, "efUdpTargets_Text", &S::udpTargets, K::LineText, true},
    {inOutput<&O::cbOnSecond>, "cbOnSecond_Checked", &S::ticksOnSecond, K::Check, true},
    {inOutput<&O::efTickPhase>, "efTickPhase_Value", &S::tickPhase, K::WholeSpin, true},
    {inOutput<&O::cbModern>, "cbModern_Checked", &S::modernReceiver, K::Check, true},
    {inFileMode<&F::cbFilePaced>, "cbFilePaced_Checked", &S::replayPaced, K::Check, true},
    {inFileMode<&F::efFileRate>, "efFileRate_Value", &S::replayRate, K::DecimalSpin, true},
    {inFileMode<&F::cbFileLoop>, "cbFileLoop_Checked", &S::replayLoop, K::Check, true},
    {inMotion<&M::cmbMotion>, "cmbMotion_ItemIndex", &S::motionModel, K::ComboIndex, true},
    {inMotion<&M::cbGeodesic>, "cbGeodesic_Checked", &S::motionGeodesic, K::Check, true},
    {inMotion<&M::efRouteFile>, "efRouteFile_Text", &S::routeFile, K::LineText, true},
    {inMotion<&M::efRouteSpeed>, "efRouteSpeed_Value", &S::routeSpeed, K::DecimalSpin, true},
    {inMotion<&M::cbTrackTime>, "cbTrackTime_Checked", &S::routeTrackTime, K::Check, true},
    {inMotion<&M::efRouteRate>, "efRouteRate_Value", &S::routeRate, K::DecimalSpin, true},
    {inMotion<&M::cmbRouteEnd>, "cmbRouteEnd_ItemIndex", &S::routeEnd, K::ComboIndex, true},
    {inMotion<&M::cbUseTrackTime>, "cbUseTrackTime_Checked", &S::useTrackTime, K::Check, true},
    {inMotion<&M::efNoise>, "efNoise_Value", &S::noiseMetres, K::DecimalSpin, true},
    {inMotion<&M::efNoiseSeed>, "efNoiseSeed_Value", &S::noiseSeed, K::WholeSpin, true},
    {inControl<&C::cbControl>, "cbControl_Checked", &S::control, K::Check, true},
    {inControl<&C::efControlSocket>, "efControlSocket_Text", &S::controlSocket, K::LineText, true},
    {inControl<&C::efScenario>, "efScenario_Text", &S::scenarioFile, K::LineText, true},
}};

SimulatorSettings settingsShownIn(Ui::TfrmMain& form) {
  SimulatorSettings settings;
  for (const SettingField& field : kSettingFields) {
    QWidget* control = field.control(form);
    std::visit(
        [&](auto member) {
          auto& value = settings.*member;
          using Value = std::remove_reference_t<decltype(value)>;
          if constexpr (std::is_same_v<Value, bool>) {
            value = qobject_cast<QAbstractButton*>(control)->isChecked();
          } else if constexpr (std::is_same_v<Value, std::string>) {
            value = textIn(control);
          } else {
            value = static_cast<Value>(numberIn(control));
          }
        },
        field.member);
  }
  return settings;
}

void showSettingsIn(Ui::TfrmMain& form, const SimulatorSettings& settings) {
  for (const SettingField& field : kSettingFields) {
    QWidget* control = field.control(form);
    std::visit(
        [&](auto member) {
          const auto& value = settings.*member;
          using Value = std::remove_cvref_t<decltype(value)>;
          if constexpr (std::is_same_v<Value, bool>) {
            qobject_cast<QAbstractButton*>(control)->setChecked(value);
          } else if constexpr (std::is_same_v<Value, std::string>) {
            showText(control, value);
          } else {
            showNumber(control, value);
          }
        },
        field.member);
  }
}

std::vector<StoredValue> storedSettings(Ui::TfrmMain& form) {
  std::vector<StoredValue> values;
  for (const SettingField& field : kSettingFields) {
    if (field.storedKey == nullptr) continue;
    QWidget* control = field.control(form);
    if (!holdsKind(*control, field.kind)) {
      raise("The control " + control->objectName().toStdString() + " of " + field.storedKey +
            " is of another kind.");
    }
    values.push_back({QString::fromLatin1(field.storedKey), control, field.kind, field.extra});
  }
  return values;
}

}  // namespace waymock::app
