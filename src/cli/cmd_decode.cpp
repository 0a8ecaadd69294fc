// waymock-cli decode: feeds NMEA text to the receiver in blocks, as a serial
// port would deliver it, and prints what it decoded.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/option_checks.h"
#include "cli/receiver_json.h"
#include "receiver/custom_gps_receiver.h"
#include "support/error.h"
#include "support/sentence_type.h"

namespace waymock::cli {

namespace {

struct DecodeOptions {
  std::string file = "-";
  bool noChecksum = false;
  std::vector<std::string> sentences;
  std::size_t block = 4096;
  bool events = false;
  bool modern = false;
};

receiver::TNMEACommands parseSentences(const std::vector<std::string>& names) {
  using receiver::TNMEACommand;
  static constexpr std::pair<const char*, TNMEACommand> kNames[] = {
      {"GPAAM", TNMEACommand::GPAAM}, {"GPBWC", TNMEACommand::GPBWC},
      {"GPGGA", TNMEACommand::GPGGA}, {"GPGLL", TNMEACommand::GPGLL},
      {"GPMSS", TNMEACommand::GPMSS}, {"GPRMB", TNMEACommand::GPRMB},
      {"GPRMC", TNMEACommand::GPRMC}, {"GPGSA", TNMEACommand::GPGSA},
      {"GPGSV", TNMEACommand::GPGSV}, {"GPVTG", TNMEACommand::GPVTG},
      {"GPZDA", TNMEACommand::GPZDA},
  };
  receiver::TNMEACommands commands;
  for (const std::string& name : names) {
    bool found = false;
    const auto type = sentenceType(name);
    for (const auto& [text, command] : kNames) {
      if (type && std::string_view(text).substr(2) == *type) {
        commands.insert(command);
        found = true;
      }
    }
    if (!found)
      raise("Unknown sentence " + name +
            "; use GPAAM, GPBWC, GPGGA, GPGLL, GPMSS, GPRMB, GPRMC, GPGSA, GPGSV, GPVTG or GPZDA.");
  }
  return commands;
}

// Text from other tools often ends its lines in LF alone, which the framing
// (CR LF) does not take. Until a CR has been seen, each LF is read as CR LF;
// input with CR LF line ends is passed on as it is.
class LineEnds {
 public:
  std::string_view adapt(std::string_view block) {
    if (sawCr_) return block;
    const auto cr = block.find('\r');
    const std::string_view bare = block.substr(0, cr);
    sawCr_ = cr != std::string_view::npos;
    if (bare.find('\n') == std::string_view::npos) return block;
    text_.clear();
    for (const char c : bare) {
      if (c == '\n') text_ += '\r';
      text_ += c;
    }
    if (sawCr_) text_.append(block.substr(cr));
    return text_;
  }

 private:
  bool sawCr_ = false;
  std::string text_;
};

std::string sentencesText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " sentence" : " sentences");
}

int runDecode(const DecodeOptions& options) {
  receiver::TTarnCustomGPSReceiver receiver;
  receiver.SetForceCheckSum(!options.noChecksum);
  receiver.setModern(options.modern);
  if (!options.sentences.empty()) receiver.SetCommands(parseSentences(options.sentences));

  std::FILE* input = stdin;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(nullptr, &std::fclose);
  if (options.file != "-") {
    owned.reset(std::fopen(options.file.c_str(), "rb"));
    if (!owned)
      throw RuntimeFailure("Cannot open " + options.file + ": " + std::strerror(errno) + ".");
    input = owned.get();
  }

  if (options.events)
    reportEvents(receiver,
                 [](const nlohmann::ordered_json& event) { std::cout << jsonLine(event) << '\n'; });

  const std::string name = options.file == "-" ? "standard input" : options.file;
  std::vector<char> buffer(options.block);
  LineEnds lineEnds;
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), input);
    if (n > 0) receiver.ReceiveData(lineEnds.adapt(std::string_view(buffer.data(), n)));
    if (n < buffer.size()) break;
  }
  if (std::ferror(input)) throw RuntimeFailure("Cannot read " + name + ".");

  // Records of nothing would read as a fix at 0 degrees: say so instead.
  const auto& counts = receiver.sentenceCounts();
  if (counts.checksumValid == 0 && counts.accepted == 0) {
    std::cout.flush();
    throw RuntimeFailure("No NMEA in " + name + ": no line is a sentence with a valid checksum.");
  }
  if (!options.events) std::cout << jsonLine(recordsJson(receiver), 2) << '\n';
  std::cout.flush();
  if (!std::cout) throw RuntimeFailure("Cannot write the output.");
  std::cerr << "waymock-cli: " << sentencesText(counts.framed) << " read, "
            << counts.framed - counts.accepted << " of them refused.\n";
  return 0;
}

}  // namespace

void addDecodeCommand(CLI::App& app, Action& action) {
  auto options = std::make_shared<DecodeOptions>();
  auto* cmd = app.add_subcommand(
      "decode", "Decode NMEA text (a file, or standard input) and print the records as JSON");
  cmd->add_option("file", options->file, "NMEA text to read; - for standard input")
      ->capture_default_str();
  cmd->add_flag("--no-checksum", options->noChecksum,
                "Accept sentences whose checksum is wrong or missing");
  listPerOption(cmd->add_option(
      "--sentences", options->sentences,
      "Sentence types to accept, comma-separated, with or without the talker (GGA or GPGGA; "
      "default: all)"));
  cmd->add_option("--block", options->block, "Bytes handed to the receiver at a time")
      ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 30))
      ->capture_default_str();
  cmd->add_flag("--modern", options->modern,
                "Read a multi-constellation receiver's sentences: GN for the fix beside GP, the "
                "GSV of GL, GA and GB beside GP, and a ZDA with its date in three fields");
  cmd->add_flag("--events", options->events,
                "Print one JSON line per event in firing order instead of the final records");
  cmd->callback([&action, options] { action = [options] { return runDecode(*options); }; });
}

}  // namespace waymock::cli
