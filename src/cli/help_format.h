#pragma once

// The help pages' layout: CLI11's own, except that a flag with an optional
// value (declared as "--virtual{}" with the type name "PATH") reads
// "--virtual[=PATH]", the way GNU programs write it.

#include <CLI/CLI.hpp>
#include <string>

namespace waymock::cli {

class HelpFormat : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* option, bool positional) const override;
  std::string make_option_opts(const CLI::Option* option) const override;
};

}  // namespace waymock::cli
