#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "receiver/modern_talkers.h"
#include "receiver/records.h"

namespace waymock::receiver {

// Cuts incoming NMEA 0183 text into sentences, checks and filters them, keeps
// the decoded records and raises events for what changed. It has no source of
// its own: a descendant hands it text through ReceiveData.
class TTarnCustomGPSReceiver {
 public:
  using TNotifyEvent = std::function<void(TTarnCustomGPSReceiver& Sender)>;
  using TParamChangeEvent = std::function<void(TTarnCustomGPSReceiver& Sender, long double Value)>;
  using TPositionChangeEvent =
      std::function<void(TTarnCustomGPSReceiver& Sender, int Degree, int Minute, long double Second,
                         TCardinalPoint Direction)>;
  using TShortPositionChangeEvent = std::function<void(
      TTarnCustomGPSReceiver& Sender, long double Latitude, long double Longitude)>;
  using TShortPosition3DChangeEvent =
      std::function<void(TTarnCustomGPSReceiver& Sender, long double Latitude,
                         long double Longitude, long double Altitude)>;
  using TSatelliteReceiveEvent =
      std::function<void(TTarnCustomGPSReceiver& Sender, const TSatellite& Satellite)>;
  using TArrivalEvent = std::function<void(TTarnCustomGPSReceiver& Sender,
                                           const std::string& Waypoint, long double CircleRadius)>;

  // Pending text never grows beyond this: a "$" that no CR LF follows within
  // this many bytes is noise.
  static constexpr std::size_t kMaxPending = 64 * 1024;

  explicit TTarnCustomGPSReceiver(std::shared_ptr<const Clock> clock = systemClock());
  virtual ~TTarnCustomGPSReceiver();
  TTarnCustomGPSReceiver(const TTarnCustomGPSReceiver&) = delete;
  TTarnCustomGPSReceiver& operator=(const TTarnCustomGPSReceiver&) = delete;

  // Processes one block of text of any length: parses every sentence it
  // completes, fires their events, then OnReceive once. Malformed text never
  // throws; an exception from OnReceive reaches the caller.
  void ReceiveData(std::string_view Data);

  bool ForceCheckSum() const { return forceCheckSum_; }
  void SetForceCheckSum(bool value) { forceCheckSum_ = value; }
  bool NMEALog() const { return nmeaLog_; }
  void SetNMEALog(bool value) { nmeaLog_ = value; }
  bool LogDateTime() const { return logDateTime_; }
  void SetLogDateTime(bool value) { logDateTime_ = value; }
  TNMEACommands Commands() const { return commands_; }
  void SetCommands(TNMEACommands value) { commands_ = value; }
  // Modern mode reads what a current multi-constellation receiver sends: the
  // GN talker for RMC, GGA, GLL, VTG, ZDA and GSA beside GP, the GSV of GL,
  // GA and GB beside GP (the satellites of each constellation's cycle kept
  // together, each with its talker), and a ZDA with its date in three
  // fields. Commands filters them by the GP sentence of the same type. Off,
  // the default, only GP talks.
  bool modern() const { return modern_; }
  void setModern(bool value) { modern_ = value; }

  // The raw NMEA log; "NMEA.log" beside the executable unless set otherwise.
  const std::string& logFileName() const { return logFileName_; }
  void setLogFileName(std::string value) { logFileName_ = std::move(value); }

  const TGPSPosition& Position() const { return position_; }
  const TReceiverStatus& Status() const { return status_; }
  const TNavigationInfo& Navigation() const { return navigation_; }

  int Latitude_Degree() const { return position_.Latitude_Degree; }
  int Latitude_Minute() const { return position_.Latitude_Minute; }
  long double Latitude_Second() const { return position_.Latitude_Second; }
  TCardinalPoint Latitude_Direction() const { return position_.Latitude_Direction; }
  int Longitude_Degree() const { return position_.Longitude_Degree; }
  int Longitude_Minute() const { return position_.Longitude_Minute; }
  long double Longitude_Second() const { return position_.Longitude_Second; }
  TCardinalPoint Longitude_Direction() const { return position_.Longitude_Direction; }
  long double Altitude() const { return position_.Altitude; }
  long double Heading() const { return position_.Heading; }
  long double Speed() const { return position_.Speed; }
  long double Speed_KMH() const { return position_.Speed_KMH; }
  const SatelliteList& Satellites() const { return position_.Satellites; }

  // Sentences since construction: every text from "$" to CR LF that the
  // framing cut out, those among them whose checksum is right (whether or not
  // it is checked), and those accepted for parsing (checked, known, wanted).
  struct SentenceCounts {
    std::size_t framed = 0;
    std::size_t checksumValid = 0;
    std::size_t accepted = 0;
  };
  const SentenceCounts& sentenceCounts() const { return counts_; }

  // Bytes of an incomplete sentence waiting for the next block.
  std::size_t pendingSize() const { return pending_.size(); }
  // Heap bytes the receiver holds on to between calls (buffers, the satellite
  // list, waypoint texts): bounded by the longest sentence, whatever the input.
  std::size_t retainedBytes() const;

  TNotifyEvent OnReceive;
  TPositionChangeEvent OnLatitudeChange;
  TPositionChangeEvent OnLongitudeChange;
  TParamChangeEvent OnAltitudeChange;
  TParamChangeEvent OnSpeedChange;
  TParamChangeEvent OnHeadingChange;
  TShortPositionChangeEvent OnPosition2DChange;
  TShortPosition3DChangeEvent OnPosition3DChange;
  TSatelliteReceiveEvent OnSatelliteReceive;
  TNotifyEvent OnSatellitesReceive;
  TArrivalEvent OnArrival;

 private:
  struct Parser;
  struct SentenceType;
  struct ChangeSet {
    bool latitude = false;
    bool longitude = false;
    bool altitude = false;
    bool speed = false;
    bool heading = false;
    bool arrival = false;
    std::string arrivalWaypoint;
    long double arrivalRadius = 0;
  };
  struct Accepted {
    std::string_view text;
    const SentenceType* type;
  };

  void frame(std::string_view data, std::string& joined, std::vector<Accepted>& batch);
  void keepPending(std::string_view head, std::string_view tail);
  void accept(std::string_view sentence, std::vector<Accepted>& batch);
  void parse(const Accepted& sentence);
  void fireChangeEvents();
  void writeLog(std::string_view sentence) noexcept;

  std::shared_ptr<const Clock> clock_;
  std::string logFileName_;
  bool forceCheckSum_ = true;
  bool nmeaLog_ = false;
  bool logDateTime_ = false;
  TNMEACommands commands_ = TNMEACommands::all();
  bool modern_ = false;
  nmea::GsvCycles gsvCycles_;  // modern mode

  TGPSPosition position_;
  TReceiverStatus status_;
  TNavigationInfo navigation_;

  std::string pending_;  // starts with "$" when not empty, never holds CR LF
  // Kept between calls only for their capacity, unless a huge block grew them.
  std::string joined_;  // a sentence completed across two blocks
  std::vector<Accepted> batch_;
  ChangeSet changes_;
  SentenceCounts counts_;
};

}  // namespace waymock::receiver
