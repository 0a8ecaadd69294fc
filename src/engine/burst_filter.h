#pragma once

#include <string>

namespace waymock {

// Changes what a transmission sends, the same for every target (port, UDP,
// TCP, the front end's report): scheduled faults act here, on the text, so
// the generator's fix and clock stay as they are.
class BurstFilter {
 public:
  virtual ~BurstFilter() = default;
  // Once per transmission, before its burst is built: what acts on the fix
  // rather than the text (a jump) happens here.
  virtual void beforeBurst() {}
  // The burst built for this transmission, to change in place. Left empty,
  // nothing is sent, but the transmission counts as made: the fix moves on.
  virtual void filter(std::string& burst) = 0;
};

}  // namespace waymock
