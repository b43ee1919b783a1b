// zentrova-cli's command line: one subcommand with its operands and options, and the options
// every subcommand takes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zcli {

enum class Command { kNone, kPorts, kInfo, kLive, kRecord, kDownload, kSetConfig, kSyncClock, kErase, kConvert, kReport };

struct Options {
  Command command = Command::kNone;
  std::string port;  // the logger's port; may be left out with --simulate
  std::string file;  // record, download: the file name as the save dialog would take it; convert, report: input
  // Every subcommand.
  int language = 1;  // --lang ru|en: 0 Russian, 1 English
  bool json = false;
  bool simulate = false;
  bool yes = false;
  bool help = false;
  // live, record.
  std::optional<long> count;
  std::optional<double> seconds;
  std::optional<int> pollMs;
  // set-config: fields not given keep the logger's values.
  std::optional<double> period;
  std::optional<bool> event;
  std::optional<unsigned> shuntMv;
  std::optional<unsigned> shuntA;
  // download: pages asked for again in a row before giving up.
  int retries = 10;
  // live, record, download: wait for the same logger after a loss instead of failing, for
  // at most reconnectTimeout seconds (none: no bound).
  bool reconnect = false;
  std::optional<double> reconnectTimeout;
  // convert.
  std::string output;  // -o; empty: standard output
  // report: the analysis's settings; those not given keep its defaults.
  std::optional<double> threshold;
  std::optional<double> minPhase;
  std::optional<double> gap;
  std::string plot;  // --plot: the chart's image file; empty: none
};

// Reads the arguments after the program's name. False with a one-line reason for anything
// it cannot take (exit status 2).
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

const char* CommandName(Command command);
// The program's help, or a subcommand's.
std::string UsageText(Command command = Command::kNone);

}  // namespace zcli
