// The sentences only the nmea41 profile writes: GSAs per constellation with
// its system ID, a run of GSV per constellation with its signal ID, and the
// satellites a fix uses. Examples:
// $GNGSA,A,3,12,03,07,28,19,,,,,,,,1.5,0.9,1.2,1*3A
// $GLGSV,1,1,02,66,30,200,38,71,55,010,,1*77
#include "generator/nmea_generator.h"
#include "generator/sentence_text.h"

namespace waymock::generator {

using detail::appendSentence;
using detail::Sentence;

namespace {

// More than any one system has (BeiDou's 63).
constexpr unsigned kMostSatellites = 64;

}  // namespace

unsigned TTarnNMEAGenerator::usedSatellites(Constellation system, const TSatellite** used,
                                            unsigned room) const {
  unsigned count = 0;
  unsigned kept = 0;
  for (std::uint16_t number = 1; number <= satelliteCount(system); ++number) {
    const TSatellite* sat = satellite(system, number);
    if (!sat->Active() || sat->SignalToNoiseRatio() == 0) continue;
    ++count;
    // Insertion into the strongest `room`; equal signals keep the order of
    // their numbers.
    unsigned at = kept;
    while (at > 0 && used[at - 1]->SignalToNoiseRatio() < sat->SignalToNoiseRatio()) --at;
    if (at >= room) continue;
    if (kept < room) ++kept;
    for (unsigned i = kept - 1; i > at; --i) used[i] = used[i - 1];
    used[at] = sat;
  }
  return count;
}

void TTarnNMEAGenerator::appendConstellationGSA(std::string& out) const {
  for (const Constellation c : kConstellations) {
    if (!format_.constellations.contains(c)) continue;
    const ConstellationInfo& info = constellationInfo(c);
    const TSatellite* used[kMostSatellites];
    const unsigned count = usedSatellites(c, used, kMostSatellites);
    // Twelve satellites a sentence, strongest first: a system with more in
    // use goes on in a further GSA, as NMEA 4.11 receivers write it, so the
    // GSAs name every satellite GGA counts. A system with none has one.
    for (unsigned first = 0; first == 0 || first < count; first += 12) {
      appendSentence(out, fixTalker_, "GSA,A,3,", true, [&](Sentence& s) {
        // Fields 1-2: automatic mode, 3D fix; 3-14: the satellite IDs.
        for (unsigned i = first; i < first + 12; ++i) {
          if (i < count) s.unsignedInt(used[i]->PseudoRandomCode() + info.idOffset, 2);
          s.ch(',');
        }
        // Fields 15-17: PDOP, HDOP, VDOP; 18: the system ID.
        s.number(pdop_).ch(',').number(hdop_).ch(',').number(vdop_).ch(',').ch(info.systemId);
      });
    }
  }
}

void TTarnNMEAGenerator::appendConstellationGSV(std::string& out) const {
  for (const Constellation c : kConstellations) {
    if (!format_.constellations.contains(c)) continue;
    const ConstellationInfo& info = constellationInfo(c);
    const TSatellite* inView[kMostSatellites];
    unsigned count = 0;
    for (std::uint16_t number = 1; number <= info.count; ++number) {
      const TSatellite* sat = satellite(c, number);
      if (sat->Active()) inView[count++] = sat;
    }
    const unsigned total = (count + 3) / 4;
    for (unsigned first = 0; first < count; first += 4) {
      // Fields 1-3: sentences in the run, this one's number, satellites in view.
      Sentence s(gsvTalker_[static_cast<std::size_t>(c)], "GSV,");
      s.unsignedInt(total).ch(',').unsignedInt(first / 4 + 1).ch(',').unsignedInt(count, 2);
      // Four fields per satellite: ID, elevation, azimuth, SNR (empty when
      // nothing is received); the last sentence holds only the rest.
      for (unsigned i = first; i < count && i < first + 4; ++i) {
        const TSatellite& sat = *inView[i];
        s.ch(',').unsignedInt(sat.PseudoRandomCode() + info.idOffset, 2);
        s.ch(',').unsignedInt(sat.Elevation(), 2).ch(',').unsignedInt(sat.Azimuth(), 3).ch(',');
        if (sat.SignalToNoiseRatio() > 0) s.unsignedInt(sat.SignalToNoiseRatio(), 2);
      }
      s.ch(',').ch(info.signalId);  // the signal ID closes the sentence
      s.finish(out);
    }
  }
}

}  // namespace waymock::generator
