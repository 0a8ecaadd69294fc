#pragma once

#include <string>

#include "generator/output_format.h"
#include "motion/motion_settings.h"
#include "receiver/replay_pacing.h"
#include "support/units.h"

namespace waymock {

class UdpSender;
struct SimulationSettings;
namespace generator {
class TTarnNMEAGenerator;
}

// Every value of the simulator's Settings page (and the Move option of the
// Satellites page) as the user set it, with the built-in defaults. The window
// reads its controls into this; the functions below copy it where it goes.
struct SimulatorSettings {
  // Start position: reaches the generator only through ApplyStartPosition.
  int latitudeDegree = 0;
  int latitudeMinute = 0;
  long double latitudeSecond = 0;
  std::string latitudeDirection = "North";  // "North" is north, anything else south
  int longitudeDegree = 0;
  int longitudeMinute = 0;
  long double longitudeSecond = 0;
  std::string longitudeDirection = "East";  // "East" is east, anything else west

  long double altitude = 0;   // metres
  long double speed = 0;      // km/h
  long double heading = 0;    // degrees
  long double geoHeight = 0;  // metres
  long double magneticVariation = 0;
  std::string magneticVariationDirection = "East";
  long double magneticHeading = 0;
  long double pdop = 0;
  long double hdop = 0;
  long double vdop = 0;

  // Arc-seconds; the short steps move the fix every tick, the long ones jump.
  long double latitudeShortStep = 1;
  long double latitudeLongStep = 5;
  long double longitudeShortStep = 1;
  long double longitudeLongStep = 5;

  bool gpgll = true;
  bool gprmc = true;
  bool gpvtg = true;
  bool gpgga = true;
  bool gpgsa = true;
  bool gpgsv = true;
  bool gpzda = true;

  bool serial = true;
  std::string serialPort;           // the selected port name, as listed
  std::string baudRate = "004800";  // zero-padded, as listed
  bool udp = false;
  std::string udpHost = "0.0.0.0";
  long double udpPort = 0;
  long double interval = 1;  // seconds between ticks
  bool moveSatellites = false;

  // File mode's pace beyond the interval.
  bool replayPaced = false;    // the log's own timing
  long double replayRate = 1;  // with it, this many times faster
  bool replayLoop = false;

  // How the fix moves; the Settings page's speed and heading are the inputs
  // of "Speed and heading".
  std::string motionModel = "Steps";  // or "Speed and heading", "Route"
  bool motionGeodesic = false;
  std::string routeFile;
  long double routeSpeed = 20;    // km/h
  bool routeTrackTime = false;    // the track's own times instead of the speed
  long double routeRate = 1;      // with them, this many times faster
  std::string routeEnd = "Stop";  // or "Loop", "Turn back"
  bool useTrackTime = false;      // the sentences carry the track's date and time
  long double noiseMetres = 0;
  int noiseSeed = 0;

  // The control channel: off by default; empty paths mean its default socket
  // and no scenario.
  bool control = false;
  std::string controlSocket;
  std::string scenarioFile;

  // Output beyond the Settings page; the defaults give its sentences byte for byte.
  std::string outputProfile = "classic";  // or "nmea41"
  std::string zdaForm = "classic";        // or "standard"
  bool gpsSatellites = true;              // the systems nmea41 reports
  bool glonassSatellites = true;
  bool galileoSatellites = true;
  bool beidouSatellites = true;
  std::string talker;  // empty, or two uppercase letters for every sentence
  bool tcpServer = false;
  int tcpPort = 10110;            // 0: the system picks one
  bool tcpAllInterfaces = false;  // else loopback only
  std::string udpTargets;         // further UDP targets, "HOST:PORT" each, comma or space between
  bool announceTcp = false;       // the TCP server over DNS-SD
  bool nmeaSocket = false;        // readers of a Unix socket
  std::string nmeaSocketPath;     // empty: NmeaSocketServer::defaultPath()
  bool ticksOnSecond = false;
  int tickPhase = 50;           // milliseconds from a tick's epoch to its burst
  bool modernReceiver = false;  // file mode reads GN fix sentences and GL/GA/GB satellites
};

// The sentence form the settings choose. A talker that is not two uppercase
// letters counts as none, and so does one the generator would refuse
// (generator::talkerProblem).
generator::OutputFormat outputFormatOf(const SimulatorSettings& settings);

// File mode's pace: the interval's Delay, the log's own timing at its rate,
// the loop.
receiver::ReplayPace replayPaceOf(const SimulatorSettings& settings);

// The motion the settings choose.
motion::MotionSettings motionSettingsOf(const SimulatorSettings& settings);

// Copies the start position into the generator; a part the generator rejects
// becomes 0.
void ApplyStartPosition(const SimulatorSettings& settings,
                        generator::TTarnNMEAGenerator& generator);

// Copies every other setting: into the generator (a rejected value becomes 0;
// the output format as outputFormatOf says),
// the steps into `simulation`, and, when UDP is on, the destination into `udp`
// (only what differs; errors leave the old destination). Returns the tick
// interval in milliseconds.
int ApplySettings(const SimulatorSettings& settings, generator::TTarnNMEAGenerator& generator,
                  SimulationSettings& simulation, UdpSender& udp);

// The timer interval for `seconds`: whole seconds × 1000 ms, at most the
// largest interval a timer holds, 1000 ms when the value is unusable.
int timerIntervalMilliseconds(long double seconds);

}  // namespace waymock
