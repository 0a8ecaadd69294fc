#include "support/printed_number.h"

#include <charconv>

#include "support/number_text.h"

namespace waymock {

double printedNumber(long double value) {
  // The general form's fifteen digits, read back as the nearest double.
  char text[kGeneralMaxChars];
  const char* end = writeGeneral(text, value);
  double result = static_cast<double>(value);
  std::from_chars(text, end, result);
  return result;
}

}  // namespace waymock
