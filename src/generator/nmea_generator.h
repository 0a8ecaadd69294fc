#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generator/canvas.h"
#include "generator/output_format.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "support/cardinal_point.h"
#include "support/datetime.h"
#include "support/enum_set.h"

namespace waymock::generator {

// Sentence identifiers in declaration order (bits 1, 2, 4, ... 64).
enum class TNMEACommand : std::uint8_t { GPGLL, GPGGA, GPVTG, GPRMC, GPGSA, GPGSV, GPZDA };
using TNMEACommands = EnumSet<TNMEACommand, 7>;

// One slot of the generator's satellite table.
class TSatellite {
 public:
  explicit TSatellite(std::uint16_t prn);  // a GPS satellite; throws for a PRN outside 1..32
  // Satellite `number` of `system` (GLONASS: its slot); throws for a number
  // outside the system's range.
  TSatellite(Constellation system, std::uint16_t number);
  // Throws for a number outside the system's range: for GPS "PseudoRandomCode
  // must be between 1 and 32.", else "GLONASS satellite number must be
  // between 1 and 24." and the like.
  static void checkNumber(Constellation system, std::uint16_t number);

  Constellation constellation() const { return constellation_; }
  // The number within its constellation (GPS: the PRN).
  std::uint16_t PseudoRandomCode() const { return prn_; }
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  std::uint16_t Azimuth() const { return azimuth_; }
  void SetAzimuth(std::uint16_t value);
  std::uint16_t Elevation() const { return elevation_; }
  void SetElevation(std::uint16_t value);
  std::uint16_t SignalToNoiseRatio() const { return snr_; }
  void SetSignalToNoiseRatio(std::uint16_t value);

 private:
  std::uint16_t prn_;
  Constellation constellation_ = Constellation::gps;
  bool active_ = false;
  std::uint16_t azimuth_ = 0;
  std::uint16_t elevation_ = 0;
  std::uint16_t snr_ = 0;
};

// Holds one simulated fix and a satellite table (32 GPS slots, and GLONASS,
// Galileo and BeiDou beside them), formats them as NMEA 0183 sentences and
// writes bursts of them to a serial port.
class TTarnNMEAGenerator {
 public:
  explicit TTarnNMEAGenerator(std::shared_ptr<const Clock> clock = systemClock(),
                              std::shared_ptr<SerialPortOpener> ports = systemSerialPorts());
  ~TTarnNMEAGenerator();
  TTarnNMEAGenerator(const TTarnNMEAGenerator&) = delete;
  TTarnNMEAGenerator& operator=(const TTarnNMEAGenerator&) = delete;

  // Shown a rejected value's message before the error is raised, when
  // MessageAlert is on. The application installs its message box here.
  std::function<void(const std::string& message)> alertHandler;

  // --- The fix (validated setters throw Error and keep the old value) ---
  int Latitude_Degree() const { return latDeg_; }
  void SetLatitude_Degree(int value);
  int Latitude_Minute() const { return latMin_; }
  void SetLatitude_Minute(int value);
  long double Latitude_Second() const { return latSec_; }
  void SetLatitude_Second(long double value);
  TCardinalPoint Latitude_Direction() const { return latDir_; }
  void SetLatitude_Direction(TCardinalPoint value) { latDir_ = value; }
  int Longitude_Degree() const { return lonDeg_; }
  void SetLongitude_Degree(int value);
  int Longitude_Minute() const { return lonMin_; }
  void SetLongitude_Minute(int value);
  long double Longitude_Second() const { return lonSec_; }
  void SetLongitude_Second(long double value);
  TCardinalPoint Longitude_Direction() const { return lonDir_; }
  void SetLongitude_Direction(TCardinalPoint value) { lonDir_ = value; }
  long double Altitude() const { return altitude_; }
  void SetAltitude(long double value) { altitude_ = value; }
  long double Heading() const { return heading_; }
  void SetHeading(long double value);
  long double Speed() const { return speed_; }  // knots
  void SetSpeed(long double value) { speed_ = value; }
  long double PDOP() const { return pdop_; }
  void SetPDOP(long double value) { pdop_ = value; }
  long double HDOP() const { return hdop_; }
  void SetHDOP(long double value) { hdop_ = value; }
  long double VDOP() const { return vdop_; }
  void SetVDOP(long double value) { vdop_ = value; }
  long double Geo_Height() const { return geoHeight_; }
  void SetGeo_Height(long double value) { geoHeight_ = value; }
  long double Magnetic_Variation() const { return magVar_; }
  void SetMagnetic_Variation(long double value);
  TCardinalPoint Magnetic_Variation_Direction() const { return magVarDir_; }
  void SetMagnetic_Variation_Direction(TCardinalPoint value) { magVarDir_ = value; }
  long double Magnetic_Heading() const { return magHeading_; }
  void SetMagnetic_Heading(long double value);
  // VTG's magnetic course: the true course plus a westerly variation, less an
  // easterly one, wrapped into 0 up to 360 (none when the variation's
  // direction is neither). So it is in the nmea41 profile, and in the classic
  // one from followMagneticCourse on, which a motion calls as it sets the
  // course, until Magnetic_Heading is set again; else Magnetic_Heading.
  std::optional<long double> magneticCourse() const;
  void followMagneticCourse() { magneticFollows_ = true; }
  TDateTime UTCDateTime() const { return utcDateTime_; }
  void SetUTCDateTime(TDateTime value) { utcDateTime_ = value; }
  TNMEACommands Commands() const { return commands_; }
  void SetCommands(TNMEACommands value) { commands_ = value; }
  bool UseSystemDateTime() const { return useSystemDateTime_; }
  void SetUseSystemDateTime(bool value) { useSystemDateTime_ = value; }
  bool MessageAlert() const { return messageAlert_; }
  void SetMessageAlert(bool value) { messageAlert_ = value; }
  // How the sentences are written (profile, ZDA form, talker). Throws for a
  // talker that is not two uppercase letters, or a talker with several
  // satellite systems in nmea41, keeping the old format.
  const OutputFormat& outputFormat() const { return format_; }
  void setOutputFormat(const OutputFormat& format);

  // --- Operations on the fix ---
  long double LatitudeDegrees() const;   // north positive
  long double LongitudeDegrees() const;  // west positive
  void MoveLatitude(long double Seconds);
  void MoveLongitude(long double Seconds);
  static long double KmhToKnots(long double Value);
  static long double KnotsToKmh(long double Value);
  // Speed in km/h and knots as the sentences relate them: the classic profile
  // by 0.5397 both ways (KmhToKnots, KnotsToKmh), nmea41 by the 1.852 km of a
  // nautical mile, so that every client reads one speed from its fields.
  long double kmhToKnots(long double kmh) const;
  long double knotsToKmh(long double knots) const;
  static long double MetersToFeet(long double Value);
  TDateTime GetUTCDateTime() const;

  // --- Sentences (each with checksum and CR LF, written as outputFormat says) ---
  std::string GetGPGGA() const;
  std::string GetGPGLL() const;
  std::string GetGPRMC() const;
  std::string GetGPVTG() const;
  std::string GetGPGSA() const;  // nmea41: one per constellation
  std::string GetGPGSV() const;  // zero or more sentences
  std::string GetGPZDA() const;
  // Each appends one complete sentence (GSV: zero or more) to `out`.
  void appendGPGGA(std::string& out) const;
  void appendGPGLL(std::string& out) const;
  void appendGPRMC(std::string& out) const;
  void appendGPVTG(std::string& out) const;
  void appendGPGSA(std::string& out) const;
  void appendGPGSV(std::string& out) const;
  void appendGPZDA(std::string& out) const;
  std::string GetSentences() const;  // the burst
  // Appends the burst to `out`; lets a caller reuse one buffer per tick.
  void appendSentences(std::string& out) const;
  // Two uppercase hex digits for the text from "$" up to, not including, "*".
  static std::string CheckSum(std::string_view text);

  // --- Satellite table ---
  void SetSatellite(std::uint16_t PRN, bool Active, std::uint16_t Elevation, std::uint16_t Azimuth,
                    std::uint16_t SNR);
  // Slot references indexed by PRN 1..32 (index 0 is unused and null).
  std::array<TSatellite*, 33> GetSatellites() const;
  // Active satellites in ascending PRN order; the list is the caller's.
  std::vector<TSatellite*> GetActiveSatellites() const;
  void ClearSatellites();
  void LoadSatellites(const std::string& FileName);
  void SaveSatellites(const std::string& FileName) const;
  void DrawSatellites(Canvas& canvas, int Radius, Rgb BrushColor, Rgb PenColor) const;

  // --- Every constellation (GPS is the table above; ClearSatellites,
  // LoadSatellites and SaveSatellites cover them all) ---
  static std::uint16_t satelliteCount(Constellation system) {
    return constellationInfo(system).count;
  }
  // SetSatellite for satellite `number` of `system`, checked in the same
  // order; GPS numbers are PRNs and give SetSatellite's messages.
  void setSatellite(Constellation system, std::uint16_t number, bool active,
                    std::uint16_t elevation, std::uint16_t azimuth, std::uint16_t snr);
  // Satellite `number` of `system`, 1..satelliteCount; null outside that range.
  TSatellite* satellite(Constellation system, std::uint16_t number) const;

  // --- Serial port output ---
  // Write time-out for one burst of `bytes` bytes: 100 ms plus 3 ms per byte.
  static std::chrono::milliseconds writeTimeout(std::size_t bytes);
  bool OpenPort(const std::string& Port, int BaudRate);
  // Why the last open of the port failed (OpenPort, or a reopen by
  // WriteSentences), as a sentence such as "There is no such device.";
  // empty after an open that worked or when the system gave no reason.
  const std::string& lastOpenError() const { return lastOpenError_; }
  void ClosePort() noexcept;
  const std::string& PortName() const { return portName_; }
  int WriteSentences();
  // The write half of WriteSentences, for a burst built already: the same
  // time-out, reopening and byte count. It touches only the port, so it may
  // run on a thread of its own while the fix and the satellites change, as
  // long as nothing else uses the port meanwhile (OpenPort, ClosePort,
  // portLost).
  int writeBurst(std::string_view burst);
  // True while the open port's device is gone (unplugged, hung up): each
  // WriteSentences opens its name again and writes once it is back.
  bool portLost() const { return !portName_.empty() && !port_; }

 private:
  [[noreturn]] void reject(const std::string& message) const;
  void appendConstellationGSA(std::string& out) const;
  void appendConstellationGSV(std::string& out) const;
  // The satellites of `system` a fix uses (active with a signal), strongest
  // first, at most `room` of them; returns how many there are in all.
  unsigned usedSatellites(Constellation system, const TSatellite** used, unsigned room) const;
  bool openNamedPort() noexcept;
  // Closes the device, waiting a bounded time for its output first.
  void releasePort() noexcept;

  int latDeg_ = 0;
  int latMin_ = 0;
  long double latSec_ = 0;
  TCardinalPoint latDir_ = TCardinalPoint::cpNorth;
  TCardinalPoint lonDir_ = TCardinalPoint::cpEast;
  int lonDeg_ = 0;
  int lonMin_ = 0;
  long double lonSec_ = 0;
  long double speed_ = 0;
  long double heading_ = 0;
  long double altitude_ = 0;
  long double magVar_ = 0;
  long double magHeading_ = 0;
  TCardinalPoint magVarDir_ = TCardinalPoint::cpWest;
  bool magneticFollows_ = false;
  long double pdop_ = 0;
  long double hdop_ = 0;
  long double vdop_ = 0;
  long double geoHeight_ = 0;
  TDateTime utcDateTime_ = 0;
  TNMEACommands commands_ = TNMEACommands::all();
  std::array<std::unique_ptr<TSatellite>, 33> satellites_;
  // GLONASS, Galileo and BeiDou, each indexed by number - 1. Const methods
  // hand out their satellites for writing, as GetSatellites does its slots.
  mutable std::array<std::vector<TSatellite>, 3> moreSatellites_;
  OutputFormat format_;
  // The talkers format_ gives, worked out once rather than per sentence: the
  // fix sentences' and GSA's, and each constellation's GSV.
  std::array<char, 2> fixTalker_ = {'G', 'P'};
  std::array<std::array<char, 2>, 4> gsvTalker_ = {
      {{'G', 'P'}, {'G', 'P'}, {'G', 'P'}, {'G', 'P'}}};
  bool useSystemDateTime_ = true;
  bool messageAlert_ = false;
  std::string portName_;
  std::string lastOpenError_;
  int baudRate_ = 0;
  std::unique_ptr<SerialDevice> port_;
  std::shared_ptr<const Clock> clock_;
  std::shared_ptr<SerialPortOpener> ports_;
};

}  // namespace waymock::generator
