#include "engine/tray_animation.h"

namespace waymock {

TrayAnimation trayAnimation(long long intervalMs, bool portOpen, bool running) {
  // Conversion to an unsigned type is modulo 2^16, negative values included.
  const auto frame = static_cast<std::uint16_t>(intervalMs);
  return {frame, portOpen && running && frame != 0};
}

}  // namespace waymock
