#pragma once

// What the receiver's modern mode reads beyond the GP talker: the talkers of a
// multi-constellation receiver (NMEA 4.10 and 4.11) and their GSV cycles.

#include <bitset>
#include <string_view>

namespace waymock::receiver::nmea {

// Whether a sentence of at least six characters is one that modern mode reads
// as the GP sentence of the same type: GN for the fix (RMC, GGA, GLL, VTG,
// ZDA, GSA), GL, GA and GB for the sky (GSV).
bool readAsGps(std::string_view sentence);

// The sentence that tells whether `text`, a log's start, is a
// multi-constellation receiver's: its first fix (an RMC, GGA or GLL of GP or
// GN), or without one the first sentence only modern mode reads (readAsGps).
// Only whole lines count, with a valid checksum unless `anyChecksum`. Its
// identifier ("$GNRMC"), which talks GP for a GPS-only receiver's; empty when
// no sentence tells.
std::string_view tellingSentence(std::string_view text, bool anyChecksum = false);

// The GSV cycles begun since the satellite list was last cleared, one per
// talker (GP, GL, GA, GB) and signal ID: a receiver sends one cycle per
// system and signal each second, so only a second start of the same cycle
// begins a new list.
class GsvCycles {
 public:
  // Notes the start (message 1) of the cycle of an accepted GSV; true when
  // that cycle had begun before, which forgets all the others.
  bool seenAgain(std::string_view gsv);

 private:
  std::bitset<4 * 256> begun_;
};

}  // namespace waymock::receiver::nmea
