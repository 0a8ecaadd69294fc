#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/cardinal_point.h"
#include "support/enum_set.h"

namespace waymock::receiver {

using waymock::TCardinalPoint;

// Sentence identifiers the receiver understands, bit 0 first.
enum class TNMEACommand : std::uint8_t {
  GPAAM,
  GPBWC,
  GPGGA,
  GPGLL,
  GPMSS,
  GPRMB,
  GPRMC,
  GPGSA,
  GPGSV,
  GPVTG,
  GPZDA
};
using TNMEACommands = EnumSet<TNMEACommand, 11>;

// One satellite in view as one GSV group reported it.
struct TSatellite {
  int PseudoRandomCode = 0;
  int Azimuth = 0;
  int Elevation = 0;
  int SignalToNoiseRatio = 0;
  // The talker of its GSV, which names the constellation its number belongs
  // to: GP (GPS) but in the receiver's modern mode, where GL, GA and GB come
  // too.
  std::array<char, 2> Talker = {'G', 'P'};

  friend bool operator==(const TSatellite&, const TSatellite&) = default;
};

// The satellites of the current GSV cycle, in the order received (in the
// receiver's modern mode: of the current cycle of each constellation).
//
// Handlers are given references into this list, so an element keeps its address
// until the next cycle begins. The objects themselves outlive clear(): a new
// cycle overwrites them in place, so a steady stream of cycles allocates nothing.
// The list holds at most kMaxSize satellites, far more than any receiver has in
// view, so hostile input cannot grow it without end; clear() frees the objects
// beyond kKeptOnClear.
class SatelliteList {
  using Slots = std::vector<std::unique_ptr<TSatellite>>;

 public:
  class const_iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = TSatellite;
    using difference_type = std::ptrdiff_t;
    using pointer = const TSatellite*;
    using reference = const TSatellite&;

    const_iterator() = default;
    reference operator*() const { return **it_; }
    pointer operator->() const { return it_->get(); }
    reference operator[](difference_type n) const { return *it_[n]; }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    const_iterator operator++(int) { return const_iterator(it_++); }
    const_iterator& operator--() {
      --it_;
      return *this;
    }
    const_iterator operator--(int) { return const_iterator(it_--); }
    const_iterator& operator+=(difference_type n) {
      it_ += n;
      return *this;
    }
    const_iterator& operator-=(difference_type n) {
      it_ -= n;
      return *this;
    }
    friend const_iterator operator+(const_iterator i, difference_type n) { return i += n; }
    friend const_iterator operator+(difference_type n, const_iterator i) { return i += n; }
    friend const_iterator operator-(const_iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
      return a.it_ - b.it_;
    }
    friend bool operator==(const const_iterator&, const const_iterator&) = default;
    friend auto operator<=>(const const_iterator&, const const_iterator&) = default;

   private:
    friend class SatelliteList;
    explicit const_iterator(Slots::const_iterator it) : it_(it) {}
    Slots::const_iterator it_{};
  };
  using iterator = const_iterator;
  using value_type = TSatellite;
  using size_type = std::size_t;

  static constexpr std::size_t kMaxSize = 255;
  static constexpr std::size_t kKeptOnClear = 64;

  SatelliteList() = default;
  SatelliteList(const SatelliteList& other) { *this = other; }
  SatelliteList& operator=(const SatelliteList& other);
  SatelliteList(SatelliteList&&) noexcept = default;
  SatelliteList& operator=(SatelliteList&&) noexcept = default;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const TSatellite& operator[](std::size_t i) const { return *slots_[i]; }
  const_iterator begin() const { return const_iterator(slots_.begin()); }
  const_iterator end() const {
    return const_iterator(slots_.begin() + static_cast<std::ptrdiff_t>(size_));
  }

  bool full() const { return size_ == kMaxSize; }
  // Satellite objects held, in use or kept for reuse.
  std::size_t reserved() const { return slots_.size(); }

  // Starts a new cycle: the list reads as empty, the objects are kept for reuse.
  void clear() {
    size_ = 0;
    if (slots_.size() > kKeptOnClear) release();
  }
  // Appends a satellite with all fields 0 and returns it; the list must not be
  // full.
  TSatellite& add() {
    if (size_ == slots_.size()) grow();
    TSatellite& s = *slots_[size_++];
    s = TSatellite{};
    return s;
  }

  friend bool operator==(const SatelliteList& a, const SatelliteList& b);

 private:
  void grow();
  void release();

  Slots slots_;
  std::size_t size_ = 0;
};

// The decoded fix. Coordinates are whole degrees, whole minutes, seconds and a
// hemisphere, never a signed number.
struct TGPSPosition {
  long double Latitude_Raw = 0;
  long double Longitude_Raw = 0;
  int Latitude_Degree = 0;
  int Latitude_Minute = 0;
  long double Latitude_Second = 0;
  TCardinalPoint Latitude_Direction = TCardinalPoint::cpNorth;
  int Longitude_Degree = 0;
  int Longitude_Minute = 0;
  long double Longitude_Second = 0;
  TCardinalPoint Longitude_Direction = TCardinalPoint::cpWest;
  long double Altitude = 0;  // metres
  long double Heading = 0;   // degrees true
  long double Speed = 0;     // knots
  long double Speed_KMH = 0;
  long double Magnetic_Variation = 0;
  TCardinalPoint Magnetic_Variation_Direction = TCardinalPoint::cpWest;
  long double Magnetic_Heading = 0;
  std::uint16_t Date_Day = 1;
  std::uint16_t Date_Month = 1;
  std::uint16_t Date_Year = 0;
  std::uint16_t Time_Hour = 0;
  std::uint16_t Time_Minute = 0;
  std::uint16_t Time_Second = 0;
  std::uint16_t Time_Fraction = 0;  // the time field's fraction digits as a whole number
  std::uint16_t Satellites_Used = 0;
  long double PDOP = 0;
  long double HDOP = 0;
  long double VDOP = 0;
  long double Geo_Height = 0;  // metres
  std::uint16_t Fix_Quality = 0;
  std::uint16_t Selection_Mode = 1;
  std::uint16_t Fix_Type = 1;
  SatelliteList Satellites;
};

// Steering data towards a waypoint.
struct TNavigationInfo {
  std::string Origin_Waypoint;
  std::string Destination_Waypoint;
  long double Distance = -1.0L;  // nautical miles; -1 until known
  long double Bearing_True = 0;
  long double Bearing_Magnetic = 0;
  long double Closing_Velocity = 0;   // knots
  long double Cross_Track_Error = 0;  // nautical miles
  std::uint8_t Steer_Direction = 0;   // 0 none, 1 left, 2 right
};

// Signal data of a beacon receiver.
struct TReceiverStatus {
  long double Signal_Strength = 0;
  long double Signal_To_Noise_Ratio = 0;
  long double Beacon_Frequency = 0;
  long double Beacon_Bit_Rate = 0;
};

// Degrees + minutes / 60 + seconds / 3600, negative for south and east.
long double signedDegrees(int degree, int minute, long double second, TCardinalPoint direction);

}  // namespace waymock::receiver
