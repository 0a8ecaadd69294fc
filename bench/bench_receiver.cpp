// Decoding speed of TTarnCustomGPSReceiver::ReceiveData on a realistic log:
// bursts of ZDA, GGA, GLL, VTG, RMC, GSA and three GSV, fed in 64 KiB blocks
// as a serial port or file reader would. Reports sentences per second and the
// heap allocations per sentence (steady state: none).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench_support.h"
#include "receiver/custom_gps_receiver.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace {

using waymock::receiver::TTarnCustomGPSReceiver;

constexpr std::size_t kLogBytes = 50u << 20;
constexpr std::size_t kBlock = 64u << 10;

void appendSentence(std::string& out, const char* body) {
  const auto digits = waymock::upperHexDigits(waymock::nmeaChecksum(body + 1));
  out += body;
  out += '*';
  out.append(digits.data(), digits.size());
  out += "\r\n";
}

struct Log {
  std::string text;
  long sentences = 0;
};

// A drive along varying coordinates, one burst per second.
const Log& testLog() {
  static const Log log = [] {
    Log l;
    l.text.reserve(kLogBytes + 4096);
    char body[160];
    for (long i = 0; l.text.size() < kLogBytes; ++i) {
      const int hh = static_cast<int>(i / 3600 % 24), mm = static_cast<int>(i / 60 % 60),
                ss = static_cast<int>(i % 60);
      const int latDeg = static_cast<int>(i / 997 % 90), latMin = static_cast<int>(i % 60);
      const int lonDeg = static_cast<int>(i / 991 % 180), lonMin = static_cast<int>(i * 7 % 60);
      const int frac = static_cast<int>(i * 37 % 10000);
      const char ns = i % 5000 < 2500 ? 'N' : 'S', ew = i % 7000 < 3500 ? 'E' : 'W';
      const int day = static_cast<int>(i / 86400 % 28 + 1);
      const double alt = 100.0 + static_cast<double>(i % 500) / 10.0;
      const double knots = static_cast<double>(i % 300) / 10.0;
      const double course = static_cast<double>(i % 3600) / 10.0;

      std::snprintf(body, sizeof body, "$GPZDA,%02d%02d%02d.00,%02d122026,00,00", hh, mm, ss, day);
      appendSentence(l.text, body);
      std::snprintf(body, sizeof body,
                    "$GPGGA,%02d%02d%02d.00,%02d%02d.%04d,%c,%03d%02d.%04d,%c,1,08,0.9,%.1f,M,46.9,"
                    "M,,",
                    hh, mm, ss, latDeg, latMin, frac, ns, lonDeg, lonMin, frac, ew, alt);
      appendSentence(l.text, body);
      std::snprintf(body, sizeof body,
                    "$GPGLL,%02d%02d.%04d,%c,%03d%02d.%04d,%c,%02d%02d%02d.00,A,A", latDeg, latMin,
                    frac, ns, lonDeg, lonMin, frac, ew, hh, mm, ss);
      appendSentence(l.text, body);
      std::snprintf(body, sizeof body, "$GPVTG,%.1f,T,%.1f,M,%.1f,N,%.1f,K", course, course, knots,
                    knots / 0.5397);
      appendSentence(l.text, body);
      std::snprintf(body, sizeof body,
                    "$GPRMC,%02d%02d%02d.00,A,%02d%02d.%04d,%c,%03d%02d.%04d,%c,%.1f,%.1f,%02d1226,"
                    "3.1,W,A",
                    hh, mm, ss, latDeg, latMin, frac, ns, lonDeg, lonMin, frac, ew, knots, course,
                    day);
      appendSentence(l.text, body);
      appendSentence(l.text, "$GPGSA,A,3,04,05,09,12,24,25,29,31,,,,,2.5,1.3,2.1");
      const int az = static_cast<int>(i % 360);
      std::snprintf(body, sizeof body,
                    "$GPGSV,3,1,11,03,03,%03d,40,04,15,270,41,06,01,010,39,13,06,292,38", az);
      appendSentence(l.text, body);
      appendSentence(l.text, "$GPGSV,3,2,11,14,25,170,42,16,57,208,39,18,67,296,40,19,40,246,37");
      appendSentence(l.text, "$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,");
      l.sentences += 9;
    }
    return l;
  }();
  return log;
}

void feed(TTarnCustomGPSReceiver& r, const std::string& text) {
  const std::string_view all(text);
  for (std::size_t at = 0; at < all.size(); at += kBlock) r.ReceiveData(all.substr(at, kBlock));
}

void run(benchmark::State& state, bool handlers, bool parse = true) {
  const Log& log = testLog();
  TTarnCustomGPSReceiver r;
  if (!parse) r.SetCommands(waymock::receiver::TNMEACommands::none());
  long events = 0;
  if (handlers) {
    r.OnReceive = [&events](TTarnCustomGPSReceiver&) { ++events; };
    r.OnLatitudeChange = [&events](TTarnCustomGPSReceiver&, int, int, long double,
                                   waymock::TCardinalPoint) { ++events; };
    r.OnLongitudeChange = r.OnLatitudeChange;
    r.OnAltitudeChange = [&events](TTarnCustomGPSReceiver&, long double) { ++events; };
    r.OnSpeedChange = r.OnAltitudeChange;
    r.OnHeadingChange = r.OnAltitudeChange;
    r.OnPosition2DChange = [&events](TTarnCustomGPSReceiver&, long double, long double) {
      ++events;
    };
    r.OnPosition3DChange = [&events](TTarnCustomGPSReceiver&, long double, long double,
                                     long double) { ++events; };
    r.OnSatelliteReceive = [&events](TTarnCustomGPSReceiver&,
                                     const waymock::receiver::TSatellite&) { ++events; };
    r.OnSatellitesReceive = r.OnReceive;
  }
  feed(r, log.text);  // warm-up: buffers reach their working size
  const long before = waymock::bench::allocationCount();
  for (auto _ : state) feed(r, log.text);
  const long allocations = waymock::bench::allocationCount() - before;

  // A decoder that silently rejected sentences would look fast: check it worked.
  if (parse && (r.Satellites().size() != 11 || r.Position().Date_Year != 2026 ||
                r.Position().Fix_Quality != 1 || r.Position().VDOP == 0))
    state.SkipWithError("the log was not decoded");
  const auto sentences =
      static_cast<double>(log.sentences) * static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(log.sentences) * state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(log.text.size()) * state.iterations());
  state.counters["allocs_per_sentence"] = static_cast<double>(allocations) / sentences;
  benchmark::DoNotOptimize(events);
}

void BM_ReceiveData(benchmark::State& state) {
  run(state, false);
}
void BM_ReceiveDataAllHandlers(benchmark::State& state) {
  run(state, true);
}
// Framing, checksum and identifier only: every sentence is filtered out.
void BM_FramingOnly(benchmark::State& state) {
  run(state, false, false);
}

BENCHMARK(BM_ReceiveData)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReceiveDataAllHandlers)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FramingOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
