#pragma once

#include <cstdint>

namespace waymock {

// What the tray icon shows, decided once per second.
struct TrayAnimation {
  // Time per animation frame in milliseconds: the interval taken modulo 65536,
  // so 70 s gives 4464 ms.
  std::uint16_t frameInterval = 0;
  // Alternate the two frames; false shows the still icon.
  bool animated = false;

  friend bool operator==(const TrayAnimation&, const TrayAnimation&) = default;
};

// `intervalMs` is the replay's Delay in file mode and the simulator timer's
// interval otherwise; `running` is whether the replay is active (file mode) or
// the simulator timer enabled. It animates while a port is open and the source
// runs, except when the frame interval comes out as 0 (8192 s does): a frame
// time of 0 would spin, so the still icon shows instead.
TrayAnimation trayAnimation(long long intervalMs, bool portOpen, bool running);

}  // namespace waymock
