#include "receiver/custom_gps_receiver.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/folders.h"
#include "receiver/modern_talkers.h"
#include "receiver/nmea_fields.h"
#include "support/datetime.h"
#include "support/units.h"

namespace waymock::receiver {

using nmea::FieldCursor;
using nmea::isLetter;
using nmea::readInteger;
using nmea::readNumber;

namespace {

// First CR LF at or after `from`.
std::size_t findCrLf(std::string_view text, std::size_t from) {
  while (from < text.size()) {
    const void* hit = std::memchr(text.data() + from, '\r', text.size() - from);
    if (!hit) break;
    const auto cr = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (cr + 1 < text.size() && text[cr + 1] == '\n') return cr;
    from = cr + 1;
  }
  return std::string_view::npos;
}

}  // namespace

// The sentence parsers. They are lenient and positional: a field that cannot
// be used leaves its target as it was (or applies the fixed reset named in its
// table) and parsing goes on with the next field.
struct TTarnCustomGPSReceiver::Parser {
  TTarnCustomGPSReceiver& r;
  TGPSPosition& pos;
  ChangeSet& changes;

  explicit Parser(TTarnCustomGPSReceiver& receiver)
      : r(receiver), pos(receiver.position_), changes(receiver.changes_) {}

  // --- Shared field actions ---

  // A plain value: stored when usable.
  static void plain(std::string_view field, long double& target) {
    if (const auto v = readNumber(field)) target = *v;
  }
  // A value with change detection: stored, and the flag set, when usable and different.
  static void changed(std::string_view field, long double& target, bool& flag) {
    const auto v = readNumber(field);
    if (v && *v != target) {
      target = *v;
      flag = true;
    }
  }
  static int integerOrZero(std::string_view field) { return readInteger(field).value_or(0); }

  // Reads the field at p, up to the next comma, as an integer (0 when it is
  // not one) and moves p past the comma. False, leaving p, when no comma
  // follows. One pass over the field, for the many fields of GSV: std::from_chars
  // and a second search for the comma cost the decoder about 9 %.
  static bool integerField(const char*& p, const char* end, int& value) {
    const char* q = p;
    bool negative = false;
    if (q != end && (*q == '+' || *q == '-')) negative = *q++ == '-';
    const char* const digits = q;
    std::uint64_t v = 0;
    for (unsigned d; q != end && (d = static_cast<unsigned char>(*q) - unsigned{'0'}) <= 9; ++q)
      v = v < (std::uint64_t{1} << 40) ? v * 10 + d : v;
    if (q != end && *q == ',' && q != digits) {
      const auto signedValue =
          negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
      value =
          signedValue > INT32_MAX || signedValue < INT32_MIN ? 0 : static_cast<int>(signedValue);
    } else {
      while (q != end && *q != ',') ++q;
      if (q == end) return false;
      value = 0;
    }
    p = q + 1;
    return true;
  }

  void time(std::string_view field) {
    if (const auto t = nmea::readTime(field)) {
      pos.Time_Hour = static_cast<std::uint16_t>(t->hour);
      pos.Time_Minute = static_cast<std::uint16_t>(t->minute);
      pos.Time_Second = static_cast<std::uint16_t>(t->second);
      pos.Time_Fraction = static_cast<std::uint16_t>(t->fraction);
    }
  }

  void date(std::string_view field) {
    if (const auto d = nmea::readDate(field)) {
      pos.Date_Day = static_cast<std::uint16_t>(d->day);
      pos.Date_Month = static_cast<std::uint16_t>(d->month);
      pos.Date_Year = static_cast<std::uint16_t>(d->year);
    }
  }

  // Status letter of GLL and RMC: "A" keeps a differential quality, anything
  // else means no fix.
  void status(std::string_view field) {
    if (isLetter(field, 'A')) {
      if (pos.Fix_Quality == 0) pos.Fix_Quality = 1;
    } else {
      pos.Fix_Quality = 0;
    }
  }

  // One coordinate and its hemisphere. A hemisphere flip of a zero coordinate
  // is stored but is not a change of position.
  static void coordinate(std::string_view field, std::string_view hemisphere, int& degree,
                         int& minute, long double& second, long double& raw,
                         TCardinalPoint& direction, char positiveLetter, TCardinalPoint positive,
                         TCardinalPoint negative, bool& flag) {
    const auto parts = nmea::splitCoordinate(field);
    if (parts && (parts->degree != degree || parts->minute != minute || parts->second != second)) {
      flag = true;
      degree = parts->degree;
      minute = parts->minute;
      second = parts->second;
      if (const auto v = readNumber(field)) raw = *v;
    }
    if (!hemisphere.empty()) {
      const TCardinalPoint d = isLetter(hemisphere, positiveLetter) ? positive : negative;
      if (d != direction) {
        if (degree > 0 || minute > 0 || second > 0) flag = true;
        direction = d;
      }
    }
  }
  void latitude(std::string_view field, std::string_view hemisphere) {
    coordinate(field, hemisphere, pos.Latitude_Degree, pos.Latitude_Minute, pos.Latitude_Second,
               pos.Latitude_Raw, pos.Latitude_Direction, 'N', TCardinalPoint::cpNorth,
               TCardinalPoint::cpSouth, changes.latitude);
  }
  void longitude(std::string_view field, std::string_view hemisphere) {
    coordinate(field, hemisphere, pos.Longitude_Degree, pos.Longitude_Minute, pos.Longitude_Second,
               pos.Longitude_Raw, pos.Longitude_Direction, 'E', TCardinalPoint::cpEast,
               TCardinalPoint::cpWest, changes.longitude);
  }

  // --- The sentences ---

  // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
  //  1  UTC time          time field
  //  2  latitude          latitude, with 3
  //  3  N/S
  //  4  longitude         longitude, with 5
  //  5  E/W
  //  6  fix quality       Fix_Quality; empty or not an integer gives 0
  //  7  satellites used   Satellites_Used when an integer
  //  8  HDOP              plain
  //  9  altitude          Altitude, change detected
  // 10  altitude unit     -
  // 11  geoid separation  Geo_Height, plain
  // Later fields (differential age and station) are ignored.
  static void gga(Parser& p, FieldCursor& f) {
    p.time(f.field(1));
    const auto lat = f.field(2);
    p.latitude(lat, f.field(3));
    const auto lon = f.field(4);
    p.longitude(lon, f.field(5));
    p.pos.Fix_Quality = static_cast<std::uint16_t>(integerOrZero(f.field(6)));
    if (const auto used = readInteger(f.field(7)))
      p.pos.Satellites_Used = static_cast<std::uint16_t>(*used);
    plain(f.field(8), p.pos.HDOP);
    changed(f.field(9), p.pos.Altitude, p.changes.altitude);
    plain(f.field(11), p.pos.Geo_Height);
  }

  // $GPGLL,4916.45,N,12311.12,W,225444,A,A*5C
  //  1  latitude   latitude, with 2
  //  2  N/S
  //  3  longitude  longitude, with 4
  //  4  E/W
  //  5  UTC time   time field
  //  6  status     status letter
  // The status counts only when the mode field follows it; a sentence that
  // ends with the status reports no fix.
  static void gll(Parser& p, FieldCursor& f) {
    const auto lat = f.field(1);
    p.latitude(lat, f.field(2));
    const auto lon = f.field(3);
    p.longitude(lon, f.field(4));
    p.time(f.field(5));
    p.status(f.field(6));
  }

  // $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
  //  1  UTC time             time field
  //  2  status               status letter
  //  3  latitude             latitude, with 4
  //  4  N/S
  //  5  longitude            longitude, with 6
  //  6  E/W
  //  7  speed, knots         Speed, change detected; Speed_KMH derived with it
  //  8  course, true         Heading, change detected
  //  9  date                 date field
  // 10  magnetic variation   Magnetic_Variation, plain
  // 11  variation E/W        Magnetic_Variation_Direction when not empty
  // Field 11 counts only when the mode field follows it.
  static void rmc(Parser& p, FieldCursor& f) {
    p.time(f.field(1));
    p.status(f.field(2));
    const auto lat = f.field(3);
    p.latitude(lat, f.field(4));
    const auto lon = f.field(5);
    p.longitude(lon, f.field(6));
    const auto speed = readNumber(f.field(7));
    // A speed whose km/h would overflow is as unusable as one that does itself.
    if (speed && *speed != p.pos.Speed && std::isfinite(*speed / kKnotsPerKmh)) {
      p.changes.speed = true;
      p.pos.Speed = *speed;
      p.pos.Speed_KMH = *speed / kKnotsPerKmh;
    }
    changed(f.field(8), p.pos.Heading, p.changes.heading);
    p.date(f.field(9));
    plain(f.field(10), p.pos.Magnetic_Variation);
    const auto variation = f.field(11);
    if (!variation.empty())
      p.pos.Magnetic_Variation_Direction =
          isLetter(variation, 'E') ? TCardinalPoint::cpEast : TCardinalPoint::cpWest;
  }

  // $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48
  //  1  course, true       Heading, change detected
  //  2  T                  -
  //  3  course, magnetic   Magnetic_Heading, plain
  //  4  M                  -
  //  5  speed, knots       Speed, change detected
  //  6  N                  -
  //  7  speed, km/h        Speed_KMH, plain (as sent, not derived)
  static void vtg(Parser& p, FieldCursor& f) {
    changed(f.field(1), p.pos.Heading, p.changes.heading);
    plain(f.field(3), p.pos.Magnetic_Heading);
    changed(f.field(5), p.pos.Speed, p.changes.speed);
    plain(f.field(7), p.pos.Speed_KMH);
  }

  // $GPZDA,201530.00,04072002,00,00*5B
  //  1  UTC time                   time field
  //  2  date, ddmmyyyy or ddmmyy   date field
  // Later fields are ignored. Receivers that send day, month and year as three
  // fields ($GPZDA,201530.00,04,07,2002,00,00*60) give a two-character date
  // field, which is unusable: only their time is taken, except in modern
  // mode, which reads that form:
  //  2  day     two digits
  //  3  month   two digits
  //  4  year    four digits; the three read as one date field ddmmyyyy
  static void zda(Parser& p, FieldCursor& f) {
    p.time(f.field(1));
    const auto date = f.field(2);
    if (p.r.modern_ && date.size() == 2) {
      const auto month = f.field(3);
      const auto year = f.field(4);
      if (month.size() != 2 || year.size() != 4) return;
      const char joined[8] = {date[0], date[1], month[0], month[1],
                              year[0], year[1], year[2],  year[3]};
      p.date(std::string_view(joined, sizeof joined));
      return;
    }
    p.date(date);
  }

  // $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
  //  1      selection mode   exactly "M" gives Selection_Mode 2, anything else 1
  //  2      fix type         Fix_Type when an integer
  //  3..14  PRNs used        -
  // 15      PDOP             plain
  // 16      HDOP             plain
  // 17      VDOP             plain, read up to the "*"
  static void gsa(Parser& p, FieldCursor& f) {
    p.pos.Selection_Mode = f.field(1) == "M" ? 2 : 1;
    if (const auto type = readInteger(f.field(2)))
      p.pos.Fix_Type = static_cast<std::uint16_t>(*type);
    plain(f.field(15), p.pos.PDOP);
    plain(f.field(16), p.pos.HDOP);
    plain(f.fieldToAsterisk(17), p.pos.VDOP);
  }

  // $GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75
  //  1  number of messages
  //  2  this message's number   1 starts a new cycle; not an integer drops the sentence
  //  3  satellites in view      -
  //  then groups of PRN, elevation, azimuth, SNR (the last one read up to the
  //  "*"), as many as the sentence holds, each an integer or 0; groups beyond
  //  the list's bound are dropped.
  // The cycle ends (OnSatellitesReceive) at the message whose number reads
  // exactly as the message count.
  // NMEA 4.11 adds a signal ID after the last group, which no group takes up.
  // In modern mode each constellation (talker) and signal has a cycle of its
  // own: a message 1 adds to the list, and only the second start of the same
  // cycle begins a new list.
  static void gsv(Parser& p, FieldCursor& f) {
    const std::string_view sentence = f.rest();
    const auto count = f.field(1);
    const auto number = f.field(2);
    const auto n = readInteger(number);
    if (!n) return;
    SatelliteList& list = p.pos.Satellites;
    if (*n == 1 && (!p.r.modern_ || p.r.gsvCycles_.seenAgain(sentence))) list.clear();
    f.field(3);

    std::string_view rest = f.rest();
    const auto comma = nmea::findChar(rest, ',');
    const char* at = comma == std::string_view::npos ? rest.end() : rest.begin() + comma + 1;
    const char* const end = rest.end();
    for (;;) {
      // A group needs three more commas: PRN, elevation, azimuth, then the SNR.
      int prn, elevation, azimuth;
      const char* q = at;
      if (list.full() || !integerField(q, end, prn) || !integerField(q, end, elevation) ||
          !integerField(q, end, azimuth))
        break;
      TSatellite& s = list.add();
      s.Talker = {sentence[1], sentence[2]};
      s.PseudoRandomCode = prn;
      s.Elevation = elevation;
      s.Azimuth = azimuth;
      at = q;
      if (!integerField(at, end, s.SignalToNoiseRatio)) {
        // The last field: up to the "*", and on past it.
        const std::string_view tail(at, static_cast<std::size_t>(end - at));
        const auto star = nmea::findChar(tail, '*');
        s.SignalToNoiseRatio =
            star == std::string_view::npos ? 0 : integerOrZero(tail.substr(0, star));
        at = star == std::string_view::npos ? end : at + star + 1;
      }
      if (p.r.OnSatelliteReceive) p.r.OnSatelliteReceive(p.r, s);
    }
    if (!number.empty() && number == count && !list.empty() && p.r.OnSatellitesReceive)
      p.r.OnSatellitesReceive(p.r);
  }
  // $GPMSS,55,27,318.0,100,1*57
  //  1  signal strength, dB       plain
  //  2  signal-to-noise, dB       plain
  //  3  beacon frequency, kHz     plain
  //  4  beacon bit rate           plain; counts only when the channel field follows
  static void mss(Parser& p, FieldCursor& f) {
    TReceiverStatus& s = p.r.status_;
    plain(f.field(1), s.Signal_Strength);
    plain(f.field(2), s.Signal_To_Noise_Ratio);
    plain(f.field(3), s.Beacon_Frequency);
    plain(f.field(4), s.Beacon_Bit_Rate);
  }

  // $GPBWC,220516,5130.02,N,00046.34,W,213.8,T,218.0,M,0004.6,N,EGLM*21
  //  1..5  time, waypoint position   -
  //  6     bearing, true             Bearing_True, plain
  //  7     T                         -
  //  8     bearing, magnetic         Bearing_Magnetic, plain
  //  9     M                         -
  // 10     distance, nautical miles  Distance, plain
  // 11     N                         -
  // 12     waypoint                  Destination_Waypoint, read up to the "*"
  static void bwc(Parser& p, FieldCursor& f) {
    TNavigationInfo& n = p.r.navigation_;
    plain(f.field(6), n.Bearing_True);
    plain(f.field(8), n.Bearing_Magnetic);
    plain(f.field(10), n.Distance);
    n.Destination_Waypoint.assign(f.fieldToAsterisk(12));
  }

  // $GPRMB,A,0.66,L,003,004,4917.24,N,12309.57,W,001.3,052.5,000.5,V*20
  //  1      data status                 -
  //  2      cross-track error, nm       Cross_Track_Error, plain
  //  3      direction to steer          "L" 1, "R" 2, else 0 (Steer_Direction)
  //  4      origin waypoint             Origin_Waypoint
  //  5      destination waypoint        Destination_Waypoint, and the arrival's waypoint
  //  6..9   destination position        -
  // 10      range, nautical miles       Distance, plain
  // 11      bearing, true               Bearing_True, plain
  // 12      closing velocity, knots     Closing_Velocity, plain
  // 13      arrival status              "A" is an arrival (radius 0); read up to the "*"
  static void rmb(Parser& p, FieldCursor& f) {
    TNavigationInfo& n = p.r.navigation_;
    plain(f.field(2), n.Cross_Track_Error);
    const auto steer = f.field(3);
    n.Steer_Direction = isLetter(steer, 'L') ? 1 : isLetter(steer, 'R') ? 2 : 0;
    n.Origin_Waypoint.assign(f.field(4));
    n.Destination_Waypoint.assign(f.field(5));
    plain(f.field(10), n.Distance);
    plain(f.field(11), n.Bearing_True);
    plain(f.field(12), n.Closing_Velocity);
    if (isLetter(f.fieldToAsterisk(13), 'A')) {
      p.changes.arrival = true;
      p.changes.arrivalWaypoint.assign(n.Destination_Waypoint);
      p.changes.arrivalRadius = 0;
    }
  }

  // $GPAAM,A,A,0.10,N,WPTNME*32
  //  1  arrival circle entered   "A" needed
  //  2  perpendicular passed     "A" needed
  //  3  circle radius            the arrival's radius; unusable gives 0
  //  4  radius unit              "N" needed
  //  5  waypoint                 the arrival's waypoint, read up to the "*"
  // Nothing is stored; only the arrival is reported.
  static void aam(Parser& p, FieldCursor& f) {
    const auto entered = f.field(1);
    const auto passed = f.field(2);
    const auto radius = readNumber(f.field(3)).value_or(0);
    const auto unit = f.field(4);
    const auto waypoint = f.fieldToAsterisk(5);
    if (isLetter(entered, 'A') && isLetter(passed, 'A') && isLetter(unit, 'N')) {
      p.changes.arrival = true;
      p.changes.arrivalWaypoint.assign(waypoint);
      p.changes.arrivalRadius = radius;
    }
  }
};

struct TTarnCustomGPSReceiver::SentenceType {
  char identifier[7];
  TNMEACommand command;
  void (*handler)(Parser&, FieldCursor&);
};

TTarnCustomGPSReceiver::TTarnCustomGPSReceiver(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), logFileName_(executableDirectory() + "NMEA.log") {}

TTarnCustomGPSReceiver::~TTarnCustomGPSReceiver() = default;

void TTarnCustomGPSReceiver::ReceiveData(std::string_view Data) {
  // The working buffers are taken out of the object for the call, so that a
  // replay started from a handler cannot pull them from under this one.
  std::vector<Accepted> batch = std::move(batch_);
  std::string joined = std::move(joined_);
  batch.clear();
  try {
    frame(Data, joined, batch);
  } catch (...) {
    // Framing stops; what was accepted so far is still parsed.
  }
  for (const Accepted& sentence : batch) parse(sentence);
  // A block of many sentences, or one huge sentence, does not leave its
  // buffers behind.
  constexpr std::size_t kKeptBatch = 1024;
  if (batch.capacity() > kKeptBatch) batch = {};
  if (joined.capacity() > kMaxPending) joined = {};
  batch_ = std::move(batch);
  joined_ = std::move(joined);
  if (OnReceive) OnReceive(*this);
}

std::size_t TTarnCustomGPSReceiver::retainedBytes() const {
  return pending_.capacity() + joined_.capacity() + batch_.capacity() * sizeof(Accepted) +
         position_.Satellites.reserved() * (sizeof(TSatellite) + sizeof(void*)) +
         navigation_.Origin_Waypoint.capacity() + navigation_.Destination_Waypoint.capacity() +
         changes_.arrivalWaypoint.capacity();
}

void TTarnCustomGPSReceiver::frame(std::string_view data, std::string& joined,
                                   std::vector<Accepted>& batch) {
  std::string_view text = data;
  if (!pending_.empty()) {
    // The pending text begins with "$" and holds no CR LF, so the first CR LF
    // ends it (possibly with the CR on the pending side).
    if (pending_.back() == '\r' && !data.empty() && data.front() == '\n') {
      joined.assign(pending_, 0, pending_.size() - 1);
      text.remove_prefix(1);
    } else {
      const auto crlf = findCrLf(data, 0);
      if (crlf == std::string_view::npos) {
        keepPending(pending_, data);
        return;
      }
      joined.assign(pending_);
      joined.append(data.substr(0, crlf));
      text.remove_prefix(crlf + 2);
    }
    pending_.clear();
    accept(joined, batch);
  }

  while (!text.empty()) {
    if (text.front() != '$') {
      const auto dollar = text.find('$');
      if (dollar == std::string_view::npos) return;  // noise
      text.remove_prefix(dollar);
    }
    const auto crlf = findCrLf(text, 1);
    if (crlf == std::string_view::npos) {
      keepPending({}, text);
      return;
    }
    accept(text.substr(0, crlf), batch);
    text.remove_prefix(crlf + 2);
  }
}

// Keeps head + tail (head being the current pending text or empty) as the
// pending text, bounded: past kMaxPending only the text from the last "$" is
// kept, and not even that when it is itself too long.
void TTarnCustomGPSReceiver::keepPending(std::string_view head, std::string_view tail) {
  if (head.size() + tail.size() <= kMaxPending) {
    if (head.empty())
      pending_.assign(tail);
    else
      pending_.append(tail);  // head is pending_ itself
    return;
  }
  const auto inTail = tail.rfind('$');
  if (inTail != std::string_view::npos) {
    const auto last = tail.substr(inTail);
    if (last.size() <= kMaxPending)
      pending_.assign(last);
    else
      pending_.clear();
    return;
  }
  const auto inHead = head.rfind('$');
  if (inHead != std::string_view::npos && head.size() - inHead + tail.size() <= kMaxPending) {
    pending_.erase(0, inHead);
    pending_.append(tail);
  } else {
    pending_.clear();
  }
}

void TTarnCustomGPSReceiver::accept(std::string_view sentence, std::vector<Accepted>& batch) {
  // A run of CRs and LFs ends a line: some receivers end theirs in CR CR LF,
  // which would otherwise leave a CR after the checksum.
  while (!sentence.empty() && (sentence.back() == '\r' || sentence.back() == '\n'))
    sentence.remove_suffix(1);
  ++counts_.framed;
  const bool checksumValid = nmea::checksumValid(sentence);
  counts_.checksumValid += checksumValid ? 1 : 0;
  if (forceCheckSum_ && !checksumValid) return;
  if (sentence.size() < 6) return;
  // Sentence dispatch: only these identifiers exist for the receiver, matched
  // on the first six characters exactly (another talker such as "$GN" is not
  // ours, and "$GPGGAX" is a GGA).
  static constexpr SentenceType kTypes[] = {
      {"$GPGLL", TNMEACommand::GPGLL, &Parser::gll}, {"$GPGGA", TNMEACommand::GPGGA, &Parser::gga},
      {"$GPVTG", TNMEACommand::GPVTG, &Parser::vtg}, {"$GPRMC", TNMEACommand::GPRMC, &Parser::rmc},
      {"$GPGSA", TNMEACommand::GPGSA, &Parser::gsa}, {"$GPGSV", TNMEACommand::GPGSV, &Parser::gsv},
      {"$GPZDA", TNMEACommand::GPZDA, &Parser::zda}, {"$GPMSS", TNMEACommand::GPMSS, &Parser::mss},
      {"$GPAAM", TNMEACommand::GPAAM, &Parser::aam}, {"$GPRMB", TNMEACommand::GPRMB, &Parser::rmb},
      {"$GPBWC", TNMEACommand::GPBWC, &Parser::bwc},
  };
  // Compared as one number each rather than as text.
  auto key = [](const char* text) {
    std::uint32_t head;
    std::uint16_t tail;
    std::memcpy(&head, text, 4);
    std::memcpy(&tail, text + 4, 2);
    return head | std::uint64_t{tail} << 32;
  };
  static const auto kKeys = [&key] {
    std::array<std::uint64_t, std::size(kTypes)> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = key(kTypes[i].identifier);
    return keys;
  }();
  // Modern mode reads the other talkers' sentences as the GP ones.
  const char asGps[6] = {'$', 'G', 'P', sentence[3], sentence[4], sentence[5]};
  const std::uint64_t identifier =
      key(modern_ && nmea::readAsGps(sentence) ? asGps : sentence.data());
  const SentenceType* type = nullptr;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i] == identifier) {
      type = &kTypes[i];
      break;
    }
  }
  if (!type || !commands_.contains(type->command)) return;
  ++counts_.accepted;
  batch.push_back({sentence, type});
  if (nmeaLog_) writeLog(sentence);
}

void TTarnCustomGPSReceiver::parse(const Accepted& sentence) {
  changes_.latitude = changes_.longitude = changes_.altitude = false;
  changes_.speed = changes_.heading = changes_.arrival = false;
  changes_.arrivalWaypoint.clear();
  changes_.arrivalRadius = 0;
  try {
    Parser parser(*this);
    FieldCursor fields(sentence.text);
    sentence.type->handler(parser, fields);
    fireChangeEvents();
  } catch (...) {
    // A failing handler ends this sentence's events; the batch goes on.
  }
}

void TTarnCustomGPSReceiver::fireChangeEvents() {
  const ChangeSet& c = changes_;
  const TGPSPosition& p = position_;
  auto latitude = [&p] {
    return signedDegrees(p.Latitude_Degree, p.Latitude_Minute, p.Latitude_Second,
                         p.Latitude_Direction);
  };
  auto longitude = [&p] {
    return signedDegrees(p.Longitude_Degree, p.Longitude_Minute, p.Longitude_Second,
                         p.Longitude_Direction);
  };
  if ((c.latitude || c.longitude) && OnPosition2DChange)
    OnPosition2DChange(*this, latitude(), longitude());
  if ((c.latitude || c.longitude || c.altitude) && OnPosition3DChange)
    OnPosition3DChange(*this, latitude(), longitude(), p.Altitude);
  if (c.latitude && OnLatitudeChange)
    OnLatitudeChange(*this, p.Latitude_Degree, p.Latitude_Minute, p.Latitude_Second,
                     p.Latitude_Direction);
  if (c.longitude && OnLongitudeChange)
    OnLongitudeChange(*this, p.Longitude_Degree, p.Longitude_Minute, p.Longitude_Second,
                      p.Longitude_Direction);
  if (c.altitude && OnAltitudeChange) OnAltitudeChange(*this, p.Altitude);
  if (c.speed && OnSpeedChange) OnSpeedChange(*this, p.Speed_KMH);
  if (c.heading && OnHeadingChange) OnHeadingChange(*this, p.Heading);
  if (c.arrival && OnArrival) OnArrival(*this, c.arrivalWaypoint, c.arrivalRadius);
}

void TTarnCustomGPSReceiver::writeLog(std::string_view sentence) noexcept {
  try {
    char stamp[64];
    int stampLength = 0;
    if (logDateTime_) {
      const DateTimeParts t = decodeDateTime(clock_->localNow());
      stampLength = std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.year,
                                  t.month, t.day, t.hour, t.minute, t.second);
    }
    std::FILE* file = std::fopen(logFileName_.c_str(), "ab");
    if (!file) return;
    if (stampLength > 0) std::fwrite(stamp, 1, static_cast<std::size_t>(stampLength), file);
    std::fwrite(sentence.data(), 1, sentence.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
  } catch (...) {
    // The raw log is a convenience; it never stops a sentence.
  }
}

}  // namespace waymock::receiver
