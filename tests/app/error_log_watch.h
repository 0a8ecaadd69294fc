#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/handler_guard.h"
#include "support/error_log.h"

namespace waymock::test {

// Points the handler guard's error log at a fresh file under HOME and reads
// back the lines written since.
class ErrorLogWatch {
 public:
  ErrorLogWatch() {
    const std::string given = std::string(std::getenv("HOME")) + "/errors.log";
    app::setErrorLogPath(given);
    // No one counts as an administrator: the line goes to the data folder.
    file_ = errorLogFile();
    std::error_code ignored;
    start_ = std::filesystem::exists(file_) ? std::filesystem::file_size(file_, ignored) : 0;
  }

  // The texts after "<date>, <time> - " of the lines written since.
  std::vector<std::string> lines() const {
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(start_));
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto dash = line.find(" - ");
      result.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    }
    return result;
  }

 private:
  std::string file_;
  std::uintmax_t start_ = 0;
};

}  // namespace waymock::test
