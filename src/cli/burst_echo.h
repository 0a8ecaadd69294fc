#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace waymock::cli {

// Echoes each transmitted burst on standard output followed by an empty line,
// as the output log keeps them, so standard output can be replayed later.
//
// The echo never holds up the transmission: a burst goes out only when
// standard output takes it now (a pipe whose reader stalls, as `| less` does,
// or a terminal paused with Ctrl-S, does not), otherwise the whole burst is
// left out and standard error says so once. Standard output stays as the shell
// shares it (blocking); each burst is written whole, at once, with no buffer.
class BurstEcho {
 public:
  // `stopping` says whether a stop signal came: a write it interrupts then
  // ends the echo quietly instead of counting as a failure.
  explicit BurstEcho(std::function<bool()> stopping = {});

  void write(const std::string& burst);
  // True once standard output failed; the run should stop then.
  bool failed() const { return error_ != 0; }
  // A reader that stopped reading ends the run quietly; any other failure to
  // write standard output is an error (RuntimeFailure).
  void check() const;
  // Bursts left out because standard output did not take them.
  std::size_t dropped() const { return dropped_; }

 private:
  std::function<bool()> stopping_;
  int error_ = 0;
  std::size_t dropped_ = 0;
  std::string text_;  // the burst being written, kept for its capacity
};

}  // namespace waymock::cli
