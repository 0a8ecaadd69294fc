#include "receiver/replay_pacing.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "receiver/nmea_fields.h"
#include "support/number_text.h"

namespace waymock::receiver {

namespace {

constexpr long double kDay = 86400;
constexpr long double kWeek = 7 * kDay;
constexpr long double kMidnightStep = 3600;

// The `index`th comma-separated field of a sentence, up to its checksum.
std::string_view field(std::string_view sentence, int index) {
  sentence = sentence.substr(0, sentence.find('*'));
  for (; index > 0; --index) {
    const auto comma = sentence.find(',');
    if (comma == std::string_view::npos) return {};
    sentence.remove_prefix(comma + 1);
  }
  return sentence.substr(0, sentence.find(','));
}

std::optional<unsigned> digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  return readDigits(text.substr(at, count));
}

// Days since 1 March of year 0 in the proleptic Gregorian calendar.
long long dayNumber(int year, int month, int day) {
  if (month <= 2) --year;
  const int era = year / 400;
  const int yearOfEra = year - era * 400;
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  return era * 146097LL + yearOfEra * 365LL + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
}

// Where the first RMC sentence of `text` begins.
std::string_view::size_type rmcAt(std::string_view text, bool modern) {
  return std::min(text.find("$GPRMC"), modern ? text.find("$GNRMC") : std::string_view::npos);
}

}  // namespace

std::optional<RmcTime> rmcTime(std::string_view text, bool modern) {
  const auto at = rmcAt(text, modern);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view sentence = text.substr(at);
  sentence = sentence.substr(0, sentence.find_first_of("\r\n"));

  const std::string_view time = field(sentence, 1);
  const auto h = digits(time, 0, 2), m = digits(time, 2, 2), s = digits(time, 4, 2);
  if (!h || !m || !s || *h > 23 || *m > 59 || *s > 60) return std::nullopt;
  long double fraction = 0;
  if (time.size() > 6) {
    if (time[6] != '.') return std::nullopt;
    if (time.size() > 7) {  // "hhmmss." alone reads as whole seconds
      const auto digits = readFractionDigits(time.substr(7));
      if (!digits) return std::nullopt;
      fraction = *digits;
    }
  }
  RmcTime result;
  result.seconds = *h * 3600 + *m * 60 + *s + fraction;

  // The date as the records read it (two-digit years are 2000 to 2099), so a
  // wait never spans a century the records do not.
  const auto date = nmea::readDate(field(sentence, 9));
  if (date && date->day >= 1 && date->day <= 31 && date->month >= 1 && date->month <= 12 &&
      date->year >= 0) {
    result.seconds +=
        static_cast<long double>(dayNumber(date->year, date->month, date->day)) * kDay;
    result.dated = true;
  }
  return result;
}

std::optional<long double> pacedStep(const RmcTime& from, const RmcTime& to) {
  long double step = 0;
  if (from.dated && to.dated) {
    step = to.seconds - from.seconds;
  } else {
    step = std::fmod(to.seconds, kDay) - std::fmod(from.seconds, kDay);
    // Without dates a step back is midnight passing only when the step
    // forward through it is short; anything else is a log going back.
    if (step < 0 && step + kDay <= kMidnightStep) step += kDay;
  }
  if (step < 0) return std::nullopt;
  return step;
}

TTarnFileGPSReceiver::WaitRule pacedWait(long double speed, bool modern) {
  return [speed, modern](std::string_view burst,
                         std::string_view nextLine) -> std::optional<std::chrono::nanoseconds> {
    if (rmcAt(burst, modern) == std::string_view::npos) return std::chrono::nanoseconds(0);
    const auto from = rmcTime(burst, modern), to = rmcTime(nextLine, modern);
    if (!from || !to) return std::nullopt;
    const auto step = pacedStep(*from, *to);
    if (!step) return std::nullopt;
    // A week keeps the arithmetic in range; a log with a longer gap than
    // that was not recorded in one go.
    return std::chrono::nanoseconds(std::llround(std::min(*step / speed, kWeek) * 1e9L));
  };
}

void applyPace(TTarnFileGPSReceiver& receiver, const ReplayPace& pace) {
  receiver.SetDelay(pace.delay);
  receiver.waitRule =
      pace.paced ? pacedWait(pace.rate, receiver.modern()) : TTarnFileGPSReceiver::WaitRule();
  receiver.setLoop(pace.loop);
}

}  // namespace waymock::receiver
