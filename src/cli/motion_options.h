#pragma once

// How the run's fix travels: the fixed steps (the default), along a route or
// track from a file (--route), or by speed and heading (--move speed-heading,
// with --speed and --heading as its inputs).

#include <memory>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace waymock::generator {
class TTarnNMEAGenerator;
}
namespace waymock::motion {
class Motion;
}

namespace waymock::cli {

struct FixOptions;

struct MotionOptions {
  std::optional<std::string> route;       // --route FILE
  std::optional<std::string> routeSpeed;  // --route-speed KMH
  bool routeTime = false;                 // --route-time
  std::optional<std::string> rate;        // --rate X, with --route-time
  std::string routeEnd = "stop";          // --route-end stop|loop|reverse
  bool useTrackTime = false;
  std::optional<std::string> noise;  // --noise METRES
  std::optional<unsigned long long> seed;
  std::string move = "steps";  // --move steps|speed-heading
  bool geodesic = false;
};

// Adds the options under the help's group "Motion". The command must have
// the fix options (--speed, --speed-knots, --heading, --utc) already.
void addMotionOptions(CLI::App& command, MotionOptions& options);

// The run's motion, starting at the generator's position (the fix options
// applied); null for the steps. Throws Error for a bad combination or value,
// IoError for a route file that cannot be used, each saying why.
std::unique_ptr<motion::Motion> makeRunMotion(const MotionOptions& options, const FixOptions& fix,
                                              const generator::TTarnNMEAGenerator& generator);

}  // namespace waymock::cli
