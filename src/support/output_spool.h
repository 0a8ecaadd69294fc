#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace waymock {

// The output log's whole text, kept in a file so that a log running for days
// costs disk space instead of the window's memory; the window shows only its
// latest part. The file is made on the first entry, in `folder`, with mode
// 0600, and its name is removed at once: no other process opens it, and it is
// gone with the spool even when the program is killed.
class OutputSpool {
 public:
  explicit OutputSpool(std::string folder);
  ~OutputSpool();
  OutputSpool(const OutputSpool&) = delete;
  OutputSpool& operator=(const OutputSpool&) = delete;

  // Adds one entry as the log holds it: its lines, each ended by CR LF (a
  // stray CR is dropped), then a line end of the log's own, so an entry that
  // ends with a line end is followed by an empty line. Throws IoError when it
  // cannot; the log is then as it was before the call.
  void append(std::string_view entry);
  // Empties the log and gives its disk space back.
  void clear() noexcept;
  // Bytes held, CR LF counted as two.
  std::uint64_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  // Replaces `path` with the whole log, as writeFileAtomically does, without
  // reading it into memory; the same IoError when it cannot.
  void saveTo(const std::string& path) const;

 private:
  void open();

  std::string folder_;
  int fd_ = -1;
  // The log is the file's first size_ bytes: what a failed write left after
  // them is not part of it.
  std::uint64_t size_ = 0;
};

}  // namespace waymock
