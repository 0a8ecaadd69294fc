#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace waymock::receiver {

// Reads a text file line by line through one fixed buffer, so memory does not
// grow with the file. A line comes back without its LF and the CRs before it;
// beyond kMaxLine bytes the rest of a line is skipped. Each call reads at most
// one buffer's worth, so a line without an end never holds up the caller.
class LogLineReader {
 public:
  static constexpr std::size_t kMaxLine = 1u << 20;

  enum class Result {
    Line,  // a whole line
    More,  // part of a line that goes on; call again
    End,   // the end of the file
  };

  // Takes over `fd`, a regular file open for reading; `path` names it in errors.
  LogLineReader(std::string path, int fd);
  ~LogLineReader();
  LogLineReader(const LogLineReader&) = delete;
  LogLineReader& operator=(const LogLineReader&) = delete;

  // On Line, `line` is valid until the next call. Throws IoError ("Cannot
  // read PATH: ...") when the file cannot be read.
  Result next(std::string_view& line);

  // Bytes read from the file so far, over every seek.
  std::size_t bytesRead() const { return bytesRead_; }
  // Where in the file the line last returned began.
  std::uint64_t lineStart() const { return lineStart_; }

  // Reads on from `offset` bytes into the file, as at the start of a line.
  void seek(std::uint64_t offset);

 private:
  // The buffer is far below kMaxLine, so a line that fits in it needs no cut.
  static constexpr std::size_t kBufferSize = 64 * 1024;
  static_assert(kBufferSize < kMaxLine);

  bool fill();
  void lineEnded();

  std::string path_;
  int fd_ = -1;
  char buffer_[kBufferSize];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t bytesRead_ = 0;
  std::uint64_t fileOffset_ = 0;  // where in the file buffer_[end_] lies
  std::uint64_t lineStart_ = 0;
  std::uint64_t nextStart_ = 0;  // where the line being read began
  std::string long_;             // a line that crosses a refill of the buffer
  bool spanning_ = false;        // long_ holds the start of the current line
  bool cut_ = false;             // ... and the line was longer than kMaxLine
};

}  // namespace waymock::receiver
