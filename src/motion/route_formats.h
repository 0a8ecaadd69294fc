#pragma once

// The readers of each format, behind parseRoute (route_reader.h).

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "motion/route.h"

namespace waymock::motion {

// Fills `buffer` with up to `size` bytes of a file, fewer only at its end;
// 0 once the whole file was given.
using ReadPiece = std::function<std::size_t(char* buffer, std::size_t size)>;

// The size of the pieces an XML file is parsed in.
inline constexpr std::size_t kXmlPieceBytes = 64 * 1024;

Route readXmlRoute(const ReadPiece& read, const std::string& source);
Route readCsvRoute(const ReadPiece& read, const std::string& source);
Route readNmeaRoute(std::string_view text, const std::string& source);

}  // namespace waymock::motion
