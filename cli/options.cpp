#include "cli/options.h"

#include <charconv>
#include <cmath>
#include <map>

namespace zcli {

namespace {

const std::map<std::string, Command> kCommands = {
    {"ports", Command::kPorts},         {"info", Command::kInfo},
    {"live", Command::kLive},           {"record", Command::kRecord},
    {"download", Command::kDownload},   {"set-config", Command::kSetConfig},
    {"sync-clock", Command::kSyncClock}, {"erase", Command::kErase},
    {"convert", Command::kConvert},     {"report", Command::kReport},
};

// Whole-text numbers only, whatever the process locale.
template <typename T>
bool WholeNumber(const std::string& text, T& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

bool WholeReal(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  return ec == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

// How many operands a command takes: required ones, and whether the port may be left out
// with --simulate.
struct Operands {
  bool port = false;
  bool file = false;
};

Operands OperandsOf(Command c) {
  switch (c) {
    case Command::kInfo:
    case Command::kLive:
    case Command::kSetConfig:
    case Command::kSyncClock:
    case Command::kErase:
      return {true, false};
    case Command::kRecord:
    case Command::kDownload:
      return {true, true};
    case Command::kConvert:
    case Command::kReport:
      return {false, true};
    default:
      return {false, false};
  }
}

// The options each command takes besides the common ones.
bool Takes(Command c, const std::string& option) {
  const bool hotPlug = option == "--reconnect" || option == "--reconnect-timeout";
  if (hotPlug) return c == Command::kLive || c == Command::kRecord || c == Command::kDownload;
  switch (c) {
    case Command::kLive:
      return option == "--count";
    case Command::kRecord:
      return option == "--count" || option == "--seconds" || option == "--poll";
    case Command::kSetConfig:
      return option == "--period" || option == "--event" || option == "--shunt-mv" || option == "--shunt-a";
    case Command::kDownload:
      return option == "--retries";
    case Command::kConvert:
      return option == "-o" || option == "--output";
    case Command::kReport:
      return option == "--threshold" || option == "--min-phase" || option == "--gap" || option == "--plot";
    default:
      return false;
  }
}

bool TakeValue(Options& o, const std::string& option, const std::string& value, std::string& error) {
  const auto bad = [&](const char* what) {
    error = option + " takes " + what + ", not '" + value + "'";
    return false;
  };
  if (option == "--lang") {
    if (value == "ru") o.language = 0;
    else if (value == "en") o.language = 1;
    else return bad("ru or en");
  } else if (option == "--count") {
    long n = 0;
    if (!WholeNumber(value, n) || n < 1) return bad("a whole number from 1");
    o.count = n;
  } else if (option == "--seconds") {
    double s = 0;
    if (!WholeReal(value, s) || s <= 0) return bad("a number of seconds above 0");
    o.seconds = s;
  } else if (option == "--reconnect-timeout") {
    double s = 0;
    if (!WholeReal(value, s) || s <= 0) return bad("a number of seconds above 0");
    o.reconnectTimeout = s;
  } else if (option == "--poll") {
    int ms = 0;
    if (!WholeNumber(value, ms) || ms < 1) return bad("milliseconds from 1");
    o.pollMs = ms;
  } else if (option == "--period") {
    double s = 0;
    if (!WholeReal(value, s) || s < 0.3 || s > 5.0) return bad("seconds from 0.3 to 5");
    o.period = s;
  } else if (option == "--event") {
    if (value == "on") o.event = true;
    else if (value == "off") o.event = false;
    else return bad("on or off");
  } else if (option == "--shunt-mv" || option == "--shunt-a") {
    unsigned n = 0;
    if (!WholeNumber(value, n) || n < 1 || n > 65535) return bad("a whole number from 1 to 65535");
    (option == "--shunt-mv" ? o.shuntMv : o.shuntA) = n;
  } else if (option == "--retries") {
    int n = 0;
    if (!WholeNumber(value, n) || n < 0) return bad("a whole number from 0");
    o.retries = n;
  } else if (option == "-o" || option == "--output") {
    if (value.empty()) return bad("a file name");
    o.output = value;
  } else if (option == "--threshold" || option == "--min-phase") {
    double v = 0;
    if (!WholeReal(value, v) || v < 0) return bad(option == "--threshold" ? "amperes from 0" : "seconds from 0");
    (option == "--threshold" ? o.threshold : o.minPhase) = v;
  } else if (option == "--gap") {
    double s = 0;
    if (!WholeReal(value, s) || s <= 0) return bad("a number of seconds above 0");
    o.gap = s;
  } else if (option == "--plot") {
    const auto dot = value.rfind('.');
    const std::string suffix = dot == std::string::npos ? "" : value.substr(dot);
    if (suffix != ".png" && suffix != ".svg" && suffix != ".pdf") return bad("a .png, .svg or .pdf file");
    o.plot = value;
  }
  return true;
}

bool NeedsValue(const std::string& option) {
  return option == "--lang" || option == "--count" || option == "--seconds" || option == "--poll" ||
         option == "--reconnect-timeout" ||
         option == "--period" || option == "--event" || option == "--shunt-mv" || option == "--shunt-a" ||
         option == "--retries" || option == "-o" || option == "--output" || option == "--threshold" ||
         option == "--min-phase" || option == "--gap" || option == "--plot";
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
  o = Options{};
  std::vector<std::string> operands;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    std::string value;
    bool hasValue = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasValue = true;
    }
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--simulate") {
      o.simulate = true;
    } else if (a == "--yes" || a == "-y") {
      o.yes = true;
    } else if (a == "--reconnect") {
      o.reconnect = true;
      operands.push_back("\x01" + a);  // checked against the command below
    } else if (NeedsValue(a)) {
      if (!hasValue) {
        if (i + 1 >= args.size()) {
          error = a + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (!TakeValue(o, a, value, error)) return false;
      if (a != "--lang") operands.push_back("\x01" + a);  // checked against the command below
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else if (o.command == Command::kNone && operands.empty()) {
      const auto it = kCommands.find(a);
      if (it == kCommands.end()) {
        error = "unknown command '" + a + "'";
        return false;
      }
      o.command = it->second;
    } else {
      operands.push_back(a);
    }
  }
  if (o.help) return true;
  if (o.command == Command::kNone) {
    error = "no command given";
    return false;
  }
  std::vector<std::string> plain;
  for (const std::string& op : operands) {
    if (!op.empty() && op[0] == '\x01') {
      if (!Takes(o.command, op.substr(1))) {
        error = op.substr(1) + " does not go with " + CommandName(o.command);
        return false;
      }
    } else {
      plain.push_back(op);
    }
  }
  const Operands want = OperandsOf(o.command);
  std::size_t next = 0;
  if (want.port) {
    // With --simulate the port is the simulated logger's own: a name may still be given.
    const std::size_t needed = 1 + (want.file ? 1 : 0);
    if (plain.size() >= needed || !o.simulate) {
      if (next >= plain.size()) {
        error = std::string(CommandName(o.command)) + " needs a PORT";
        return false;
      }
      o.port = plain[next++];
    }
  }
  if (want.file) {
    if (next >= plain.size()) {
      error = std::string(CommandName(o.command)) + " needs a FILE";
      return false;
    }
    o.file = plain[next++];
  }
  if (next < plain.size()) {
    error = "unexpected '" + plain[next] + "'";
    return false;
  }
  if (o.command == Command::kRecord && o.count && o.seconds) {
    error = "record takes --count or --seconds, not both";
    return false;
  }
  if (o.reconnectTimeout && !o.reconnect) {
    error = "--reconnect-timeout goes with --reconnect";
    return false;
  }
  if (o.command == Command::kErase && !o.yes) {
    error = "erase deletes every record in the logger: confirm with --yes";
    return false;
  }
  return true;
}

const char* CommandName(Command command) {
  for (const auto& [name, c] : kCommands) {
    if (c == command) return name.c_str();
  }
  return "zentrova-cli";
}

// What live, record and download do when the logger goes away.
const std::string kLossText =
    "Losing the logger (its port gone or hung up) ends the command with status 1 and the\n"
    "reason on standard error. With --reconnect it waits for the same logger to come\n"
    "back and goes on; another logger on the port ends it with status 1 and writes nothing of\n"
    "it; Ctrl-C during the wait ends at once. --reconnect-timeout S bounds the wait (default:\n"
    "no bound).\n";

std::string UsageText(Command command) {
  const std::string common =
      "\nOptions of every command:\n"
      "  --lang ru|en   language of the messages (default en)\n"
      "  --simulate     talk to a simulated logger inside the program (PORT may be left out)\n"
      "  --yes, -y      answer yes to every question (replacing a file, erasing)\n"
      "  -h, --help     this help\n";
  switch (command) {
    case Command::kPorts:
      return "Usage: zentrova-cli ports\n\nLists the serial ports, one a line, as the window's port list shows them.\n" + common;
    case Command::kInfo:
      return "Usage: zentrova-cli info PORT [--json]\n\nReads the logger's identity and configuration.\n" + common;
    case Command::kLive:
      return "Usage: zentrova-cli live PORT [--count N] [--json] [--reconnect [--reconnect-timeout S]]\n\n"
             "Prints the live readings every 300 ms, one line a reading, until N readings or Ctrl-C.\n"
             "A reader that goes away (a closed pipe) ends it too, with status 0.\n" + kLossText + common;
    case Command::kRecord:
      return "Usage: zentrova-cli record PORT FILE [--poll MS] [--count N | --seconds S]\n"
             "                          [--reconnect [--reconnect-timeout S]]\n\n"
             "Records the live readings into the file the window would write for FILE:\n"
             "'FILE ( DEVICE ).txt', one row every MS milliseconds (default 200), until N rows,\n"
             "S seconds or Ctrl-C. With --reconnect, rows go on after the gap, into the same file.\n" +
             kLossText + common;
    case Command::kDownload:
      return "Usage: zentrova-cli download PORT FILE [--retries N] [--reconnect [--reconnect-timeout S]]\n\n"
             "Downloads the logger's whole memory into 'FILE ( DEVICE ).txt', as the window does.\n"
             "Progress goes to standard error. A page that does not come is asked for again,\n"
             "N times in a row at the most (default 10). Ctrl-C stops and keeps what was written.\n"
             "With --reconnect, it resumes at the page where it stopped, into the same file.\n" +
             kLossText + common;
    case Command::kSetConfig:
      return "Usage: zentrova-cli set-config PORT [--period S] [--event on|off] [--shunt-mv N] [--shunt-a N]\n\n"
             "Writes the logger's configuration. Fields not given keep the values read from it first.\n"
             "The recording period is 0.3 to 5 seconds. The shunt can be set only on loggers\n"
             "whose shunt is not fixed.\n" + common;
    case Command::kSyncClock:
      return "Usage: zentrova-cli sync-clock PORT\n\nSets the logger's clock to this computer's local time.\n" + common;
    case Command::kErase:
      return "Usage: zentrova-cli erase PORT --yes\n\nErases the logger's memory. Asks nothing: --yes is required.\n"
             "Ctrl-C during the erase wait ends it at once (status 1); the logger may still be erasing.\n" + common;
    case Command::kConvert:
      return "Usage: zentrova-cli convert FILE [-o OUT]\n\n"
             "Turns a recording or memory dump file into CSV: commas between fields, points in\n"
             "numbers, ISO 8601 time stamps, one header row with units, UTF-8. To standard output\n"
             "or to OUT. Every row of the file becomes a row of the CSV: a stamp that is not a date\n"
             "(an unset clock, 29_02_2018) is written as it stands, and a warning on standard error\n"
             "tells how many rows have one. An output that is FILE itself, under any name, is\n"
             "refused (status 2). A write that fails ends it with status 1 and the reason.\n" + common;
    case Command::kReport:
      return "Usage: zentrova-cli report FILE [--json] [--plot OUT] [--threshold A] [--min-phase S] [--gap S]\n\n"
             "Works out a recording or memory dump file as a battery test: its charges, discharges\n"
             "and rests (ampere-hours, watt-hours, duration, voltages), the gaps where the logger\n"
             "was off, the internal resistance at each step of the current, and the totals with\n"
             "the charge and energy efficiency. A current above A amperes (default 0.5) charges,\n"
             "below minus A discharges; a phase shorter than S seconds (default 60) joins the one\n"
             "before it; a step between samples longer than --gap seconds (default the larger of\n"
             "60 and ten times the usual step) is a gap, across which nothing is counted.\n"
             "--json prints one JSON object instead of the table. --plot also draws the whole file\n"
             "(voltage and current over time, the phases shaded, the gaps hatched) into OUT, a\n"
             ".png of 1600 x 900 pixels, an .svg or a .pdf, without a display. The Windows build\n"
             "has no charts: there --plot is refused.\n" + common;
    default:
      return "Usage: zentrova-cli COMMAND [ARGUMENTS] [OPTIONS]\n"
             "\n"
             "The battery logger's operations from the command line, as the Zentrova window does them.\n"
             "\n"
             "Commands:\n"
             "  ports                          list the serial ports\n"
             "  info PORT                      identity and configuration\n"
             "  live PORT                      live readings\n"
             "  record PORT FILE               record the live readings into a file\n"
             "  download PORT FILE             download the logger's memory into a file\n"
             "  set-config PORT                write the configuration\n"
             "  sync-clock PORT                set the logger's clock\n"
             "  erase PORT --yes               erase the logger's memory\n"
             "  convert FILE                   a recording or dump file as CSV\n"
             "  report FILE                    a recording or dump file as a battery test report\n"
             "\n"
             "'zentrova-cli COMMAND --help' tells more of each. Exit status: 0 done, 1 the logger\n"
             "or a file failed (the reason on standard error), 2 the command line was wrong.\n" +
             common;
  }
}

}  // namespace zcli
