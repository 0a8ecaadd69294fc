#include "cli/help_format.h"

namespace waymock::cli {

namespace {

bool optionalValue(const CLI::Option* option) {
  return option->get_name(false, true).find("{}") != std::string::npos;
}

}  // namespace

std::string HelpFormat::make_option_name(const CLI::Option* option, bool positional) const {
  std::string name = CLI::Formatter::make_option_name(option, positional);
  const auto empty = name.find("{}");
  if (empty != std::string::npos) name.replace(empty, 2, "[=" + option->get_type_name() + "]");
  return name;
}

std::string HelpFormat::make_option_opts(const CLI::Option* option) const {
  std::string opts = CLI::Formatter::make_option_opts(option);
  // The value's name is part of the option's name already.
  const std::string value = " " + get_label(option->get_type_name());
  if (optionalValue(option) && opts.starts_with(value)) opts.erase(0, value.size());
  return opts;
}

}  // namespace waymock::cli
