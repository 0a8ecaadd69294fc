#pragma once

// Field reading and number conversion for incoming sentences. Everything here
// works on views into the sentence and never allocates in the common case.

#include <cstdint>
#include <optional>
#include <string_view>

namespace waymock::receiver::nmea {

// Reads fields by position. Field n is the text between the n-th comma and the
// next one; a field that no comma follows reads as empty (the checksum suffix
// is not a field), except where the caller asks for the text up to the "*".
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view sentence) : rest_(sentence), comma_(sentence.find(',')) {}

  // Moves on to field n (fields only ever move forward) and returns its text.
  std::string_view field(int n) {
    moveTo(n);
    return comma_ == std::string_view::npos ? std::string_view{} : rest_.substr(0, comma_);
  }
  // Field n, or, when it is the last field, its text up to the "*".
  std::string_view fieldToAsterisk(int n) {
    moveTo(n);
    if (comma_ != std::string_view::npos) return rest_.substr(0, comma_);
    const auto star = rest_.find('*');
    return star == std::string_view::npos ? std::string_view{} : rest_.substr(0, star);
  }
  // The text not yet passed, starting with the current field.
  std::string_view rest() const { return rest_; }

 private:
  void moveTo(int n) {
    while (current_ < n) {
      ++current_;
      if (comma_ == std::string_view::npos) continue;  // past the last comma: stay
      rest_.remove_prefix(comma_ + 1);
      comma_ = rest_.find(',');
    }
  }

  std::string_view rest_;
  std::string_view::size_type comma_;
  int current_ = 0;
};

// Reads a number the way sentences carry it: digits with at most one ".".
// Empty text, or text holding anything but digits and ".", reads as 0 (so a
// sign makes a value 0); nullopt means unusable (two points, or a lone point).
// Independent of the user's locale.
std::optional<long double> readNumber(std::string_view text);

// An optional sign and decimal digits within the 32-bit range; nullopt
// otherwise (empty text included).
std::optional<int> readInteger(std::string_view text);

struct CoordinateParts {
  int degree = 0;
  int minute = 0;
  long double second = 0;
};
// Splits ddmm.mmmm / dddmm.mmmm: the whole part's last two digits are minutes,
// the digits before them degrees, the fractional minutes times 60 seconds.
std::optional<CoordinateParts> splitCoordinate(std::string_view text);

struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int fraction = 0;  // the digits after the point, as a whole number
};
// hhmmss with an optional fraction; shorter whole parts fill from the seconds.
std::optional<TimeParts> readTime(std::string_view text);

struct DateParts {
  int day = 0;
  int month = 0;
  int year = 0;
};
// ddmmyyyy, or ddmmyy meaning 2000 to 2099.
std::optional<DateParts> readDate(std::string_view text);

// True when the field, upper-cased, is exactly the one letter.
inline bool isLetter(std::string_view field, char upper) {
  return field.size() == 1 && (field[0] == upper || field[0] == upper + ('a' - 'A'));
}

// The checksum suffix test: "*" followed only by hexadecimal digits (either
// case, any count) whose value equals the exclusive-or of everything between
// the "$" and the "*".
bool checksumValid(std::string_view sentence);

}  // namespace waymock::receiver::nmea
