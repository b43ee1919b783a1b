#include "cli/session.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>

#include "cli/convert.h"
#include "cli/report.h"
#include "decode/row_file.h"
#include "dialog/port_list.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/numfmt.h"
#include "link/protocol.h"
#include "sim/loopback_port.h"
#include "platform/port_table.h"

namespace zcli {


namespace {

constexpr Bilingual kInterrupted{"прервано", "interrupted"};
constexpr Bilingual kShuntFixed{"шунт этого логгера задан изготовителем и не меняется",
                                "this logger's shunt rating is fixed and cannot be set"};
constexpr Bilingual kNotKept{"логгер не сохранил новую конфигурацию", "the logger did not keep the new configuration"};
constexpr Bilingual kNotStarted{"запись не началась", "the recording did not start"};
constexpr Bilingual kRecordingStopped{"запись остановлена", "the recording stopped"};
constexpr Bilingual kDownloadNotStarted{"чтение памяти не началось", "the download did not start"};
constexpr Bilingual kPageMissing{"логгер не отдаёт страницу памяти", "the logger does not send the memory page"};
constexpr Bilingual kDownloadStopped{"чтение памяти прервано", "the download stopped"};
constexpr Bilingual kPortLost{"порт потерян", "the port was lost"};
constexpr Bilingual kNotBack{"регистратор не вернулся вовремя", "the logger did not come back in time"};
constexpr Bilingual kInterruptedWaiting{"прервано во время ожидания регистратора",
                                        "interrupted while waiting for the logger"};
constexpr Bilingual kAnotherLogger{"на порту другой регистратор", "another logger is on the port"};
constexpr Bilingual kClockSet{"Часы установлены: ", "Clock set to "};
constexpr Bilingual kErased{"Память стёрта", "Memory erased"};
constexpr Bilingual kAnsweredNo{"(ответ: нет; --yes отвечает да)", "(answered no; --yes answers yes)"};
constexpr Bilingual kErasing{"стирание памяти", "erasing the memory"};
constexpr Bilingual kOutputFailed{"стандартный вывод: ", "standard output: "};

constexpr uint32_t kPumpMs = 20;

std::string Trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// A box's text on one line: its line breaks become blanks.
std::string OneLine(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      out.push_back(' ');
      ++i;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// A terminal gets a progress line redrawn in place; a file or a pipe gets nothing of it.
bool StderrIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += zfw::Format("\\u%04x", static_cast<int>(c));
      continue;
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace

Session::Session(const Options& options, std::ostream& out, std::ostream& err)
    : options_(options), out_(out), err_(err), serial_(zv::MakeSystemSerialBackend()) {}

Session::~Session() {
  dlg_.reset();
  zfw::SetEnvironment(zfw::Environment{});
}

std::string Session::Text(const Bilingual& text) const { return options_.language == 0 ? text.ru : text.en; }

void Session::OnPageWritten(int pagesDone, int /*pagesInAll*/) {
  pagesDone_ = pagesDone;
  missesInRow_ = 0;
}

void Session::OnLoggerLost(const std::string& why) {
  if (!lost_) lostAt_ = std::chrono::steady_clock::now();
  lost_ = why;
}

bool Session::LossEnds(std::string& why) const {
  if (!lost_) return false;
  if (!options_.reconnect) {
    why = Text(kPortLost) + ": " + *lost_;
    return true;
  }
  if (g_interrupted) {
    why = Text(kInterruptedWaiting);
    return true;
  }
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - lostAt_;
  if (options_.reconnectTimeout && waited.count() > *options_.reconnectTimeout) {
    why = Text(kNotBack) + ": " + *lost_;
    return true;
  }
  return false;
}

bool Session::AnotherLoggerRead() {
  for (const zv::OperationEnd& end : ends_) {
    if (end.operation != zv::Operation::kConfigurationRead || end.result != zv::Result::kDone || !end.configuration) {
      continue;
    }
    const zv::LoggerIdentity& id = end.configuration->identity;
    if (id.serialNumber != config_.identity.serialNumber || id.version != config_.identity.version) return true;
  }
  return false;
}

std::optional<zv::OperationEnd> Session::TakeEnd(zv::Operation operation) {
  std::optional<zv::OperationEnd> found;
  for (auto it = ends_.begin(); it != ends_.end();) {
    if (it->operation == operation) {
      found = *it;
      it = ends_.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

int Session::Fail(const std::string& why) {
  ReportBoxes();
  err_ << "zentrova-cli: " << why << "\n";
  return 1;
}

void Session::ReportBoxes() {
  const auto boxes = view_.MessageBoxes();
  for (; boxesReported_ < boxes.size(); ++boxesReported_) {
    const auto& box = boxes[boxesReported_];
    // A question answered yes by --yes is not news; one answered no says how to say yes.
    if ((box.type & MB_TYPEMASK) == MB_OKCANCEL) {
      if (!options_.yes) err_ << "zentrova-cli: " << OneLine(box.text) << " " << Text(kAnsweredNo) << "\n";
      continue;
    }
    err_ << "zentrova-cli: " << OneLine(box.text) << "\n";
  }
}

void Session::Pump(uint32_t ms) { dlg_->Loop().RunFor(ms); }

int Session::Run() {
  if (options_.command == Command::kConvert) return RunConvert(options_, out_, err_);
  port_ = options_.port;
  if (options_.simulate) {
    // The simulated logger answers inside this process, under the name given or "SIM".
    if (port_.empty()) port_ = "SIM";
    serial_ = zv::sim::MakeLoopbackBackend(zv::sim::DeviceOptions{}, port_);
  }
  switch (options_.command) {
    case Command::kPorts: return Ports();
    case Command::kInfo: return Info();
    case Command::kLive: return Live();
    case Command::kRecord: return Record();
    case Command::kDownload: return Download();
    case Command::kSetConfig: return SetConfig();
    case Command::kSyncClock: return SyncClock();
    case Command::kErase: return Erase();
    case Command::kReport: return RunReport(options_, out_, err_);
    default: return 2;
  }
}

bool Session::StartWindow() {
  zfw::SetEnvironment(zfw::Environment{&view_, &clock_});
  view_.AnswerQuestionsYes(options_.yes);
  // Only the named port is listed: it is entry 1, after "no".
  table_ = std::make_unique<zv::FixedPortTable>();
  dlg_ = std::make_unique<COrvikDlg>(PortAccess{serial_.get(), table_.get(), {port_}});
  dlg_->AddEventObserver(this);
  if (!dlg_->Create()) return false;
  if (options_.language == 1) {
    dlg_->Controls().SetCheck(IDC_LANGUAGE, 1);
    dlg_->OnBnClickedLanguage();
  }
  return true;
}

bool Session::Start() {
  if (!StartWindow()) return Fail("the window cannot be built") == 0;
  dlg_->Controls().SetCurSel(IDC_PORT, 1);
  dlg_->OnCbnSelchangePort();
  const auto read = TakeEnd(zv::Operation::kConfigurationRead);
  if (!read || read->result != zv::Result::kDone || !read->configuration) {
    Fail(read ? Trimmed(read->text) : std::string());
    return false;
  }
  config_ = *read->configuration;
  return true;
}

int Session::Ports() {
  const auto table = zv::MakeSystemPortTable();
  std::vector<std::string> named;
  if (options_.simulate) named.push_back(port_);
  const PortListing listing = ListPorts(PortAccess{nullptr, table.get(), named});
  for (const std::string& name : listing.names) out_ << name << "\n";
  if (!listing.tableRead) return Fail(listing.why);
  return 0;
}

void Session::PrintInfo(const zv::LoggerConfiguration& c) {
  const std::string period = zfw::Format("%.2f", c.recordPeriod);
  const std::string& device = c.identity.deviceName;
  if (options_.json) {
    out_ << "{\"port\":" << JsonString(port_) << ",\"device\":" << JsonString(device)
         << ",\"version\":" << c.identity.version << ",\"serial\":" << c.identity.serialNumber
         << ",\"nominal_voltage_v\":" << c.nominalVoltage << ",\"shunt_mv\":" << c.shuntMillivolts
         << ",\"shunt_a\":" << c.shuntAmps << ",\"recording_period_s\":" << period
         << ",\"event_recording\":" << (c.eventRecording ? "true" : "false") << "}\n";
    return;
  }
  const bool ru = options_.language == 0;
  out_ << (ru ? "Порт: " : "Port: ") << port_ << "\n"
       << (ru ? "Устройство: " : "Device: ") << device << "\n"
       << (ru ? "Версия: " : "Version: ") << c.identity.version << "\n"
       << (ru ? "Серийный номер: " : "Serial number: ") << c.identity.serialNumber << "\n"
       << (ru ? "Номинальное напряжение: " : "Nominal voltage: ") << c.nominalVoltage << (ru ? " В" : " V") << "\n"
       << (ru ? "Шунт: " : "Shunt: ") << c.shuntMillivolts << (ru ? " мВ / " : " mV / ") << c.shuntAmps
       << (ru ? " А" : " A") << "\n"
       << (ru ? "Период записи: " : "Recording period: ") << period << (ru ? " с" : " s") << "\n"
       << (ru ? "Запись по событию: " : "Event recording: ")
       << (c.eventRecording ? (ru ? "вкл" : "on") : (ru ? "выкл" : "off")) << "\n";
}

int Session::Info() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  PrintInfo(config_);
  return 0;
}

bool Session::PrintReading(const zv::Measurement& m) {
  if (options_.json) {
    std::string iso;
    if (!IsoTimeStamp(m.timeText, iso)) iso = m.timeText;
    out_ << "{\"time\":" << JsonString(iso) << ",\"voltage_v\":" << Trimmed(m.voltageText)
         << ",\"current_a\":" << Trimmed(m.currentText) << ",\"power_w\":" << Trimmed(m.powerText)
         << ",\"charge_ah\":" << Trimmed(m.chargeText) << "}\n";
  } else {
    out_ << m.timeText << "  U " << Trimmed(m.voltageText) << " V  I " << Trimmed(m.currentText) << " A  P "
         << Trimmed(m.powerText) << " W  Q " << Trimmed(m.chargeText) << " Ah\n";
  }
  errno = 0;
  out_.flush();
  if (out_) return true;
  outError_ = errno;
  return false;
}

int Session::Live() {
  if (!Start()) return 1;
  measurements_.clear();
  long printed = 0;
  std::string why;
  while (!g_interrupted || lost_) {
    Pump(kPumpMs);
    if (LossEnds(why)) return Fail(why);
    if (AnotherLoggerRead()) return Fail(Text(kAnotherLogger));
    for (const zv::OperationEnd& poll : ends_) {
      // A poll cut off by the loss is the loss, told on its own.
      if (poll.operation == zv::Operation::kPoll && poll.result == zv::Result::kNoReply && !lost_) {
        return Fail(Trimmed(poll.text));
      }
    }
    ends_.clear();
    for (; !measurements_.empty(); measurements_.pop_front()) {
      // A reader that went away (head, a closed pipe) ends the command as a finished one.
      if (!PrintReading(measurements_.front())) {
        if (outError_ == EPIPE) return 0;
        return Fail(Text(kOutputFailed) + std::strerror(outError_));
      }
      if (options_.count && ++printed >= *options_.count) return 0;
    }
  }
  return 0;
}

int Session::Record() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  if (options_.pollMs) dlg_->Controls().SetText(IDC_POLL_PERIOD, std::to_string(*options_.pollMs));
  view_.QueueFileDialogAnswer(options_.file);
  dlg_->Controls().SetCheck(IDC_RECORD, 1);
  dlg_->OnBnClickedRecord();
  if (TakeEnd(zv::Operation::kRecording)) return Fail(Text(kNotStarted));
  const std::string path = RowFileName(CString(options_.file), CString(config_.identity.deviceName)).str();
  rowsWritten_ = 0;
  const auto start = std::chrono::steady_clock::now();
  std::string why;
  while (!g_interrupted || lost_) {
    Pump(kPumpMs);
    if (const auto end = TakeEnd(zv::Operation::kRecording)) {
      return Fail(end->result == zv::Result::kOtherLogger ? Text(kAnotherLogger) : Text(kRecordingStopped));
    }
    if (LossEnds(why)) break;
    if (options_.count && rowsWritten_ >= *options_.count) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    // Time up while the logger is away is not a whole recording.
    if (options_.seconds && elapsed.count() >= *options_.seconds) {
      if (lost_) why = Text(kPortLost) + ": " + *lost_;
      break;
    }
  }
  dlg_->Controls().SetCheck(IDC_RECORD, 0);
  dlg_->OnBnClickedRecord();  // closes the file, whatever ended the recording
  if (lost_) return Fail(why.empty() ? Text(kPortLost) + ": " + *lost_ : why);
  out_ << path << "\n";
  return 0;
}

int Session::Download() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  view_.QueueFileDialogAnswer(options_.file);
  dlg_->Controls().SetCheck(IDC_RECEIVE, 1);
  dlg_->OnReceiveData();
  if (TakeEnd(zv::Operation::kDownload)) return Fail(Text(kDownloadNotStarted));
  const std::string path = RowFileName(CString(options_.file), CString(config_.identity.deviceName)).str();
  const auto pages = static_cast<int>(zv::proto::MemoryPagesForVersion(config_.identity.version));
  const bool terminal = StderrIsTerminal();
  int shown = -1;
  bool gaveUp = false;
  pagesDone_ = 0;
  missesInRow_ = 0;
  std::optional<zv::OperationEnd> end;
  std::string lostWhy;
  while (!end) {
    const bool lossEnds = LossEnds(lostWhy);
    if (g_interrupted || missesInRow_ > options_.retries || lossEnds) {
      gaveUp = !g_interrupted && !lossEnds;
      dlg_->Controls().SetCheck(IDC_RECEIVE, 0);
      dlg_->OnReceiveData();
      end = TakeEnd(zv::Operation::kDownload);
      break;
    }
    Pump(kPumpMs);
    end = TakeEnd(zv::Operation::kDownload);
    const int percent = pages > 0 ? pagesDone_ * 100 / pages : 0;
    if (!end && percent != shown) {
      shown = percent;
      if (terminal) {
        const int filled = percent / 5;
        err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(20 - filled), ' ') << "] " << zfw::Format("%3d", percent) << "% "
             << pagesDone_ << "/" << pages << std::flush;
      } else {
        err_ << percent << "%\n";
      }
    }
  }
  if (terminal && shown >= 0) err_ << "\n";
  if (end && end->result == zv::Result::kDone) {
    if (!terminal) err_ << "100%\n";
    out_ << path << "\n";
    return 0;
  }
  if (!lostWhy.empty()) return Fail(lostWhy);
  if (g_interrupted) return Fail(Text(kInterrupted));
  if (end && end->result == zv::Result::kOtherLogger) return Fail(Text(kAnotherLogger));
  return Fail(gaveUp ? Text(kPageMissing) : Text(kDownloadStopped));
}

int Session::SetConfig() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  zfw::ControlModel& c = dlg_->Controls();
  if ((options_.shuntMv || options_.shuntA) && !config_.shuntSettable) return Fail(Text(kShuntFixed));
  if (options_.period) c.SetText(IDC_RECORD_PERIOD, zfw::Format("%.2f", *options_.period));
  if (options_.shuntMv) c.SetText(IDC_SHUNT_MV, std::to_string(*options_.shuntMv));
  if (options_.shuntA) c.SetText(IDC_SHUNT_A, std::to_string(*options_.shuntA));
  if (options_.event) {
    c.SetCheck(IDC_EVENT_CHECK, *options_.event ? 1 : 0);
    dlg_->OnBnClickedEventCheck();
  }
  dlg_->OnBnClickedSetConfig();
  const auto sent = TakeEnd(zv::Operation::kSetConfiguration);
  if (!sent || !sent->configuration) return Fail(Text(kNotKept));
  if (sent->result == zv::Result::kNoReply || sent->result == zv::Result::kPortError) return Fail(Trimmed(sent->text));
  // Read back what the logger keeps now.
  c.SetCurSel(IDC_PORT, 1);
  dlg_->OnCbnSelchangePort();
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  const auto read = TakeEnd(zv::Operation::kConfigurationRead);
  if (!read || read->result != zv::Result::kDone || !read->configuration) {
    return Fail(read ? Trimmed(read->text) : std::string());
  }
  PrintInfo(*read->configuration);
  return read->configuration->configWord == sent->configuration->configWord ? 0 : Fail(Text(kNotKept));
}

int Session::SyncClock() {
  if (!Start()) return 1;
  dlg_->OnBnClickedSyncClock();
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  const auto end = TakeEnd(zv::Operation::kSyncClock);
  if (!end || end->result != zv::Result::kDone || !end->clockSent) return Fail(end ? Trimmed(end->text) : std::string());
  const zv::DeviceTime& t = *end->clockSent;
  out_ << Text(kClockSet)
       << zfw::Format("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      static_cast<int>(t.seconds))
       << "\n";
  return 0;
}

int Session::Erase() {
  if (!Start()) return 1;
  dlg_->OnBnClickedErase();
  const bool terminal = StderrIsTerminal();
  const auto start = std::chrono::steady_clock::now();
  long shown = -1;
  std::optional<zv::OperationEnd> end = TakeEnd(zv::Operation::kErase);
  while (!end) {
    if (g_interrupted) {
      // The erase wait holds the port: the window goes, and the port with it.
      if (terminal && shown >= 0) err_ << "\n";
      dlg_.reset();
      return Fail(Text(kInterrupted));
    }
    Pump(kPumpMs);
    end = TakeEnd(zv::Operation::kErase);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    if (terminal && !end && seconds.count() != shown) {
      shown = seconds.count();
      err_ << "\r" << Text(kErasing) << " " << shown << " s" << std::flush;
    }
  }
  if (terminal && shown >= 0) err_ << "\n";
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  if (end->result != zv::Result::kDone) return Fail(Trimmed(end->text));
  out_ << Text(kErased) << "\n";
  return 0;
}

}  // namespace zcli
