#pragma once

// What several benchmarks share: a scratch folder for the files they make,
// their peak memory, and a count of the heap allocations they cause.

#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace waymock::bench {

// A folder of its own under the system's temporary folder, removed with
// everything in it when the program ends.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "waymock-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline TempFolder& folder() {
  static TempFolder f;
  return f;
}

// The largest resident size the program has had, in KiB.
inline long peakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The global operator new calls so far: counted by the replacement in
// counting_allocations.cpp, which a benchmark that asks links.
long allocationCount();

}  // namespace waymock::bench
