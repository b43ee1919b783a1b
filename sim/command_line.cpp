#include "sim/command_line.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string_view>

namespace zv::sim {

namespace {

constexpr uint16_t kProfileConfigWord = 100;  // 1 s recording period, no event flag

// Decimal, or hexadecimal after 0x; the whole text must be the number.
std::optional<uint64_t> ParseUnsigned(std::string_view s) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty() || s[0] == '+' || s[0] == '-') return std::nullopt;
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<double> ParseDouble(std::string_view s) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::vector<std::string_view> SplitColons(std::string_view s) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto pos = s.find(':');
    parts.push_back(s.substr(0, pos));
    if (pos == std::string_view::npos) break;
    s.remove_prefix(pos + 1);
  }
  return parts;
}

// "YYYY-MM-DDTHH:MM:SS" (a blank may stand for the T).
std::optional<LocalTime> ParseDateTime(std::string_view s) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || (s[10] != 'T' && s[10] != ' ') ||
      s[13] != ':' || s[16] != ':') {
    return std::nullopt;
  }
  const auto field = [&](std::size_t at, std::size_t len) -> std::optional<int> {
    const auto v = ParseUnsigned(s.substr(at, len));
    if (!v || s.substr(at, len).find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    return static_cast<int>(*v);
  };
  const auto y = field(0, 4), mo = field(5, 2), d = field(8, 2), h = field(11, 2), mi = field(14, 2),
             se = field(17, 2);
  if (!y || !mo || !d || !h || !mi || !se) return std::nullopt;
  if (*y < 1970 || *y > 2254 || *mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *se > 59) {
    return std::nullopt;
  }
  return LocalTime{*y, *mo, *d, *h, *mi, *se, 0};
}

class Parser {
 public:
  explicit Parser(CommandLine& out) : out_(out) {}

  bool Run(const std::vector<std::string>& args, std::string& error);

 private:
  using Handler = std::function<bool(std::string_view value)>;
  struct Option {
    bool takesValue;
    std::string meaning;  // for error messages: what the value must be
    Handler handle;
  };

  bool Unsigned(std::string_view v, uint64_t lo, uint64_t hi, uint64_t& out) {
    const auto n = ParseUnsigned(v);
    if (!n || *n < lo || *n > hi) return false;
    out = *n;
    return true;
  }
  template <typename T>
  Handler Into(T& field, uint64_t lo, uint64_t hi) {
    return [this, &field, lo, hi](std::string_view v) {
      uint64_t n = 0;
      if (!Unsigned(v, lo, hi, n)) return false;
      field = static_cast<T>(n);
      return true;
    };
  }
  Handler Flag(bool& field) {
    return [&field](std::string_view) {
      field = true;
      return true;
    };
  }

  void Define();

  CommandLine& out_;
  std::map<std::string, Option, std::less<>> options_;
  bool recordsGiven_ = false;
  bool configWordGiven_ = false;
};

void Parser::Define() {
  DeviceOptions& d = out_.server.device;
  FaultOptions& f = d.faults;
  constexpr uint64_t k16 = 0xFFFF;
  constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
  options_["--version"] = {true, "a number from 0 to 65535", Into(d.config.version, 0, k16)};
  options_["--serial"] = {true, "a number from 0 to 65535", Into(d.config.serial, 0, k16)};
  options_["--nominal-voltage"] = {true, "whole volts from 1 to 65535", Into(d.config.nominalVoltage, 1, k16)};
  options_["--shunt-mv"] = {true, "a number from 0 to 65535", Into(d.config.shuntMillivolts, 0, k16)};
  options_["--shunt-a"] = {true, "a number from 0 to 65535", Into(d.config.shuntAmps, 0, k16)};
  options_["--config-word"] = {true, "a number from 0 to 65535 (0x... for hex)", [this, &d](std::string_view v) {
                                 uint64_t n = 0;
                                 if (!Unsigned(v, 0, k16, n)) return false;
                                 d.config.configWord = static_cast<uint16_t>(n);
                                 configWordGiven_ = true;
                                 return true;
                               }};
  options_["--profile"] = {true, "capacity or solar", [&d](std::string_view v) {
                             const auto kind = ParseProfileKind(v);
                             if (!kind) return false;
                             d.profile = *kind;
                             return true;
                           }};
  options_["--records"] = {true, "a count of records", [this, &d](std::string_view v) {
                             // At most what the largest memory holds; the version's own is checked later.
                             const uint64_t most = uint64_t{proto::MemoryPagesForVersion(proto::kVersion210)} *
                                                   proto::kRecordsPerPage;
                             uint64_t n = 0;
                             if (!Unsigned(v, 0, most, n)) return false;
                             d.records = n;
                             recordsGiven_ = true;
                             return true;
                           }};
  options_["--erase-ms"] = {true, "milliseconds from 0 to 600000", Into(d.eraseMs, 0, 600000)};
  options_["--latency-ms"] = {true, "milliseconds from 0 to 60000", Into(out_.server.latencyMs, 0, 60000)};
  options_["--seed"] = {true, "an unsigned 64-bit number", Into(d.seed, 0, std::numeric_limits<uint64_t>::max())};
  options_["--no-pacing"] = {false, "", [this](std::string_view) {
                               out_.server.pacing = false;
                               return true;
                             }};
  options_["--clock-register-5-only"] = {false, "", Flag(d.clockRegister5Only)};
  options_["--stop-clock"] = {false, "", Flag(d.clockStopped)};
  options_["--silent"] = {false, "", Flag(f.silent)};
  options_["--print-registers"] = {false, "", Flag(out_.printRegisters)};
  options_["--help"] = {false, "", Flag(out_.help)};
  options_["-h"] = options_["--help"];
  options_["--drop-reply"] = {true, "a reply number from 1", [this, &f](std::string_view v) {
                                uint64_t n = 0;
                                if (!Unsigned(v, 1, kMax32, n)) return false;
                                f.dropReplies.push_back(static_cast<uint32_t>(n));
                                return true;
                              }};
  options_["--corrupt-crc"] = {true, "a reply number from 1", [this, &f](std::string_view v) {
                                 uint64_t n = 0;
                                 if (!Unsigned(v, 1, kMax32, n)) return false;
                                 f.corruptCrcReplies.push_back(static_cast<uint32_t>(n));
                                 return true;
                               }};
  options_["--exception-reply"] = {true, "a reply number from 1", [this, &f](std::string_view v) {
                                     uint64_t n = 0;
                                     if (!Unsigned(v, 1, kMax32, n)) return false;
                                     f.exceptionReplies.push_back(static_cast<uint32_t>(n));
                                     return true;
                                   }};
  options_["--cut-reply"] = {true, "N:BYTES, a reply number from 1 and a length from 2 to 255",
                             [this, &f](std::string_view v) {
                               const auto parts = SplitColons(v);
                               uint64_t n = 0, bytes = 0;
                               if (parts.size() != 2 || !Unsigned(parts[0], 1, kMax32, n) ||
                                   !Unsigned(parts[1], 2, 255, bytes)) {
                                 return false;
                               }
                               f.cutReplies.push_back({static_cast<uint32_t>(n), static_cast<uint32_t>(bytes)});
                               return true;
                             }};
  options_["--split-reply"] = {true, "N:MS, a reply number from 1 and a pause in milliseconds up to 60000",
                               [this, &f](std::string_view v) {
                                 const auto parts = SplitColons(v);
                                 uint64_t n = 0, ms = 0;
                                 if (parts.size() != 2 || !Unsigned(parts[0], 1, kMax32, n) ||
                                     !Unsigned(parts[1], 0, 60000, ms)) {
                                   return false;
                                 }
                                 f.splitReplies.push_back({static_cast<uint32_t>(n), static_cast<uint32_t>(ms)});
                                 return true;
                               }};
  options_["--short-page"] = {true, "N or N:BYTES, a page request number from 1 and a length from 1 to 4095",
                              [this, &f](std::string_view v) {
                                const auto parts = SplitColons(v);
                                uint64_t n = 0, bytes = 2048;
                                if (parts.size() > 2 || !Unsigned(parts[0], 1, kMax32, n) ||
                                    (parts.size() == 2 && !Unsigned(parts[1], 1, 4095, bytes))) {
                                  return false;
                                }
                                f.shortPages.push_back({static_cast<uint32_t>(n), static_cast<uint32_t>(bytes)});
                                return true;
                              }};
  options_["--vanish-after-pages"] = {true, "N, N:close or N:mute", [this, &f](std::string_view v) {
                                        const auto parts = SplitColons(v);
                                        uint64_t n = 0;
                                        if (parts.size() > 2 || !Unsigned(parts[0], 0, kMax32, n)) return false;
                                        if (parts.size() == 2) {
                                          if (parts[1] == "close") {
                                            f.vanishMode = VanishMode::kClose;
                                          } else if (parts[1] == "mute") {
                                            f.vanishMode = VanishMode::kMute;
                                          } else {
                                            return false;
                                          }
                                        }
                                        f.vanishAfterPages = static_cast<uint32_t>(n);
                                        return true;
                                      }};
  HotPlugOptions& h = out_.server.hotPlug;
  options_["--unplug-after-pages"] = {true, "a count of pages", [this, &h](std::string_view v) {
                                        uint64_t n = 0;
                                        if (!Unsigned(v, 0, kMax32, n)) return false;
                                        h.unplugAfterPages = static_cast<uint32_t>(n);
                                        return true;
                                      }};
  options_["--unplug-after-seconds"] = {true, "seconds from 0 to 86400, such as 2.5", [&h](std::string_view v) {
                                          const auto t = ParseDouble(v);
                                          if (!t || *t < 0 || *t > 86400) return false;
                                          h.unplugAfterMs = static_cast<uint32_t>(std::lround(*t * 1000.0));
                                          return true;
                                        }};
  options_["--replug-after-ms"] = {true, "milliseconds from 0 to 86400000", [this, &h](std::string_view v) {
                                     uint64_t n = 0;
                                     if (!Unsigned(v, 0, 86400000, n)) return false;
                                     h.replugAfterMs = static_cast<uint32_t>(n);
                                     return true;
                                   }};
  options_["--replug-serial"] = {true, "S or S:VERSION, numbers from 0 to 65535", [this, &h](std::string_view v) {
                                   const auto parts = SplitColons(v);
                                   uint64_t serial = 0, version = 0;
                                   if (parts.size() > 2 || !Unsigned(parts[0], 0, k16, serial)) return false;
                                   if (parts.size() == 2 && !Unsigned(parts[1], 0, k16, version)) return false;
                                   h.replugSerial = static_cast<uint16_t>(serial);
                                   h.replugVersion.reset();
                                   if (parts.size() == 2) h.replugVersion = static_cast<uint16_t>(version);
                                   return true;
                                 }};
  options_["--freeze"] = {true, "AMPS:VOLTS:AH, three numbers such as -12.5:25.2:3.75",
                          [&d](std::string_view v) {
                            const auto parts = SplitColons(v);
                            if (parts.size() != 3) return false;
                            const auto a = ParseDouble(parts[0]), u = ParseDouble(parts[1]), q = ParseDouble(parts[2]);
                            if (!a || !u || !q || *u < 0) return false;
                            d.frozen = FrozenBattery{*a, *u, *q};
                            return true;
                          }};
  options_["--device-time"] = {true, "a date and time as YYYY-MM-DDTHH:MM:SS", [&d](std::string_view v) {
                                 const auto t = ParseDateTime(v);
                                 if (!t) return false;
                                 d.startTime = *t;
                                 return true;
                               }};
  options_["--link"] = {true, "a path", [this](std::string_view v) {
                          out_.server.linkPath = std::string(v);
                          return !v.empty();
                        }};
  options_["--log"] = {true, "a file name, or - for standard error", [this](std::string_view v) {
                         out_.logPath = std::string(v);
                         return !v.empty();
                       }};
}

bool Parser::Run(const std::vector<std::string>& args, std::string& error) {
  out_ = CommandLine{};
  out_.server.pacing = true;
  Define();
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (arg.starts_with("--")) {
      if (const auto eq = arg.find('='); eq != std::string_view::npos) {
        inlineValue = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
      }
    }
    const auto it = options_.find(arg);
    if (it == options_.end()) {
      error = "unknown option '" + args[i] + "'";
      return false;
    }
    const Option& opt = it->second;
    std::string_view value;
    if (opt.takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = std::string(arg) + " needs a value: " + opt.meaning;
        return false;
      }
    } else if (inlineValue) {
      error = std::string(arg) + " takes no value";
      return false;
    }
    if (!opt.handle(value)) {
      error = "bad value '" + std::string(value) + "' for " + std::string(arg) + ": expected " + opt.meaning;
      return false;
    }
  }
  DeviceOptions& d = out_.server.device;
  const std::size_t capacity = proto::MemoryPagesForVersion(d.config.version) * proto::kRecordsPerPage;
  if (d.profile != ProfileKind::kNone) {
    // A battery test is logged once a second unless told otherwise, and the memory holds one
    // whole run of it (as much as fits).
    if (!configWordGiven_) d.config.configWord = kProfileConfigWord;
    if (!recordsGiven_) {
      d.records = std::min(capacity, ProfileRecords(d.profile, d.config.nominalVoltage, d.config.RecordPeriodMs()));
    }
  }
  if (recordsGiven_ && d.records > capacity) {
    error = "--records " + std::to_string(d.records) + " does not fit: version " +
            std::to_string(d.config.version) + " holds at most " + std::to_string(capacity) + " records";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  Parser parser(out);
  return parser.Run(args, error);
}

std::string UsageText() {
  return R"(Usage: zentrova-sim [options]
Simulated battery logger on a pseudo-terminal. Prints the terminal's path as its first
line, then answers the program's requests until SIGINT or SIGTERM.

Device:
  --version N              device version (8, 10, 110, 120, 210, ...); default 110
  --serial N               serial number; default 123
  --nominal-voltage V      nominal voltage in whole volts; default 24
  --shunt-mv N             shunt rating, millivolts; default 50
  --shunt-a N              shunt rating, amperes; default 300
  --config-word N          bits 0-11 recording period in 1/100 s, bit 12 event flag; default 33
  --records N              logged records in memory at start; default 3000
  --erase-ms N             time the erase takes before its acknowledgement; default 3000
  --seed N                 seed of the battery model; default 1
  --profile NAME           a battery test in memory and going on live: capacity (rest,
                           discharge to the cut-off voltage, rest, CC/CV charge, again)
                           or solar (a day of solar charging with loads); with it the
                           period defaults to 1 s (config word 100) and --records to one
                           whole run (a capacity test: about 4 hours; solar: a day)
  --freeze A:V:AH          hold the battery at A amperes, V volts and AH ampere-hours
  --device-time T          start the device clock at T (YYYY-MM-DDTHH:MM:SS) instead of now
  --stop-clock             the device clock does not run
  --clock-register-5-only  answer clock writes only at register 5, not at 11
Delivery:
  --latency-ms N           pause before each reply; default 0
  --no-pacing              write each reply at once instead of at 921600 baud
Faults (N counts from 1; options may be repeated):
  --drop-reply N           send nothing for the N-th reply
  --split-reply N:MS       send the N-th reply in two halves MS milliseconds apart
  --short-page N[:BYTES]   answer the N-th page request with BYTES bytes (default 2048)
  --corrupt-crc N          spoil the CRC of the N-th reply
  --cut-reply N:BYTES      end the N-th reply after BYTES bytes, with a CRC of its own
  --exception-reply N      answer the N-th request with an exception reply (code 4)
  --silent                 never answer
  --vanish-after-pages N[:close|:mute]
                           after N pages, close the port (default) or stop answering
Unplugging (the link goes away while unplugged; SIGUSR1 unplugs, SIGUSR2 plugs back):
  --unplug-after-pages N   unplug when the request after N answered pages comes (once)
  --unplug-after-seconds T unplug T seconds after start (once; decimals allowed)
  --replug-after-ms M      plug back M milliseconds after every unplug, on a new terminal
                           behind the same --link; memory, clock and battery go on
  --replug-serial S[:V]    come back as another logger: serial S (and version V)
Other:
  --link PATH              make PATH a symlink to the terminal while running
  --log FILE               hex log of every request and reply (- for standard error)
  --print-registers        print the 17 measurement registers it would send now, and exit
  -h, --help               this text
)";
}

}  // namespace zv::sim
