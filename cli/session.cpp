#include "cli/session.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>

#include "cli/convert.h"
#include "cli/report.h"
#include "dialog/port_list.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/numfmt.h"
#include "sim/loopback_port.h"
#include "platform/port_table.h"

namespace zcli {


namespace {

constexpr Bilingual kSuccess{"Успешно", "Successfully"};
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
constexpr Bilingual kClockSet{"Часы установлены: ", "Clock set to "};
constexpr Bilingual kErased{"Память стёрта", "Memory erased"};
constexpr Bilingual kAnsweredNo{"(ответ: нет; --yes отвечает да)", "(answered no; --yes answers yes)"};

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

std::string Session::Status() const { return Trimmed(dlg_->m_strStatus.str()); }

bool Session::StatusIs(const Bilingual& text) const { return dlg_->m_strStatus.str() == Text(text); }

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
  if (!dlg_->Create()) return false;
  if (options_.language == 1) {
    dlg_->Controls().SetCheck(IDC_LANGUAGE, 1);
    dlg_->OnBnClickedLanguage();
  }
  return true;
}

bool Session::Start() {
  if (!StartWindow()) return Fail("the window cannot be built") == 0;
  dlg_->m_portCombo.SetCurSel(1);
  dlg_->OnCbnSelchangePort();
  if (dlg_->PortSelection() <= 0 || !StatusIs(kSuccess)) {
    Fail(Status());
    return false;
  }
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

void Session::PrintInfo() {
  COrvikDlg& d = *dlg_;
  const std::string period = zfw::Format("%.2f", d.m_fRecordPeriod);
  if (options_.json) {
    out_ << "{\"port\":" << JsonString(port_) << ",\"device\":" << JsonString(d.m_strDeviceName.str())
         << ",\"version\":" << d.m_nDeviceVersion << ",\"serial\":" << d.m_nSerialNumber
         << ",\"nominal_voltage_v\":" << d.m_nNominalVoltage << ",\"shunt_mv\":" << d.m_nShuntMillivolts
         << ",\"shunt_a\":" << d.m_nShuntAmps << ",\"recording_period_s\":" << period
         << ",\"event_recording\":" << (d.m_bEventRecord != 0 ? "true" : "false") << "}\n";
    return;
  }
  const bool ru = options_.language == 0;
  out_ << (ru ? "Порт: " : "Port: ") << port_ << "\n"
       << (ru ? "Устройство: " : "Device: ") << d.m_strDeviceName.str() << "\n"
       << (ru ? "Версия: " : "Version: ") << d.m_nDeviceVersion << "\n"
       << (ru ? "Серийный номер: " : "Serial number: ") << d.m_nSerialNumber << "\n"
       << (ru ? "Номинальное напряжение: " : "Nominal voltage: ") << d.m_nNominalVoltage << (ru ? " В" : " V") << "\n"
       << (ru ? "Шунт: " : "Shunt: ") << d.m_nShuntMillivolts << (ru ? " мВ / " : " mV / ") << d.m_nShuntAmps
       << (ru ? " А" : " A") << "\n"
       << (ru ? "Период записи: " : "Recording period: ") << period << (ru ? " с" : " s") << "\n"
       << (ru ? "Запись по событию: " : "Event recording: ")
       << (d.m_bEventRecord != 0 ? (ru ? "вкл" : "on") : (ru ? "выкл" : "off")) << "\n";
}

int Session::Info() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  PrintInfo();
  return 0;
}

void Session::PrintReading() {
  const COrvikDlg& d = *dlg_;
  const std::string stamp = d.m_strDateTime.str();
  if (options_.json) {
    std::string iso;
    if (!IsoTimeStamp(stamp, iso)) iso = stamp;
    out_ << "{\"time\":" << JsonString(iso) << ",\"voltage_v\":" << Trimmed(d.m_strVoltage.str())
         << ",\"current_a\":" << Trimmed(d.m_strCurrent.str()) << ",\"power_w\":" << Trimmed(d.m_strPower.str())
         << ",\"charge_ah\":" << Trimmed(d.m_strCapacity.str()) << "}\n";
  } else {
    out_ << stamp << "  U " << Trimmed(d.m_strVoltage.str()) << " V  I " << Trimmed(d.m_strCurrent.str()) << " A  P "
         << Trimmed(d.m_strPower.str()) << " W  Q " << Trimmed(d.m_strCapacity.str()) << " Ah\n";
  }
  out_.flush();
}

int Session::Live() {
  if (!Start()) return 1;
  long seen = dlg_->m_nMeasurementsDecoded;
  long printed = 0;
  while (!g_interrupted) {
    Pump(kPumpMs);
    if (dlg_->PortSelection() <= 0) return Fail(Text(kPortLost));
    if (StatusIs(exchange_texts::kNoData)) return Fail(Status());
    if (dlg_->m_nMeasurementsDecoded == seen) continue;
    seen = dlg_->m_nMeasurementsDecoded;
    PrintReading();
    if (options_.count && ++printed >= *options_.count) break;
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
  if (!dlg_->m_hRecordFile) return Fail(Text(kNotStarted));
  const std::string path = dlg_->m_strRecordPath.str();
  const long rows0 = dlg_->m_nRecordRowsWritten;
  const auto start = std::chrono::steady_clock::now();
  while (!g_interrupted) {
    Pump(kPumpMs);
    if (dlg_->m_bRecording == 0) return Fail(Text(kRecordingStopped));
    const long rows = dlg_->m_nRecordRowsWritten - rows0;
    if (options_.count && rows >= *options_.count) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (options_.seconds && elapsed.count() >= *options_.seconds) break;
  }
  dlg_->Controls().SetCheck(IDC_RECORD, 0);
  dlg_->OnBnClickedRecord();
  out_ << path << "\n";
  return 0;
}

int Session::Download() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  view_.QueueFileDialogAnswer(options_.file);
  dlg_->Controls().SetCheck(IDC_RECEIVE, 1);
  dlg_->OnReceiveData();
  if (dlg_->m_bReceiveData != 1) return Fail(Text(kDownloadNotStarted));
  const std::string path = dlg_->m_strDumpPath.str();
  const int pages = dlg_->Controls().Get(IDC_PROGRESS).rangeHigh;
  const bool terminal = StderrIsTerminal();
  int shown = -1;
  bool gaveUp = false;
  while (dlg_->m_bReceiveData == 1) {
    if (g_interrupted || dlg_->m_nPageRetries > options_.retries) {
      gaveUp = !g_interrupted;
      dlg_->Controls().SetCheck(IDC_RECEIVE, 0);
      dlg_->OnReceiveData();
      break;
    }
    Pump(kPumpMs);
    const int pos = dlg_->Controls().Get(IDC_PROGRESS).pos;
    const int percent = pages > 0 ? pos * 100 / pages : 0;
    if (dlg_->m_bReceiveData == 1 && percent != shown) {
      shown = percent;
      if (terminal) {
        const int filled = percent / 5;
        err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(20 - filled), ' ') << "] " << zfw::Format("%3d", percent) << "% "
             << pos << "/" << pages << std::flush;
      } else {
        err_ << percent << "%\n";
      }
    }
  }
  if (terminal && shown >= 0) err_ << "\n";
  // The worker has been joined: its page count is the window's to read again.
  if (dlg_->m_nProgressCount == pages) {
    if (!terminal) err_ << "100%\n";
    out_ << path << "\n";
    return 0;
  }
  if (g_interrupted) return Fail(Text(kInterrupted));
  return Fail(gaveUp ? Text(kPageMissing) : Text(kDownloadStopped));
}

int Session::SetConfig() {
  if (!Start()) return 1;
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  zfw::ControlModel& c = dlg_->Controls();
  if ((options_.shuntMv || options_.shuntA) && !c.Get(IDC_SHUNT_MV).enabled) return Fail(Text(kShuntFixed));
  if (options_.period) c.SetText(IDC_RECORD_PERIOD, zfw::Format("%.2f", *options_.period));
  if (options_.shuntMv) c.SetText(IDC_SHUNT_MV, std::to_string(*options_.shuntMv));
  if (options_.shuntA) c.SetText(IDC_SHUNT_A, std::to_string(*options_.shuntA));
  if (options_.event) {
    c.SetCheck(IDC_EVENT_CHECK, *options_.event ? 1 : 0);
    dlg_->OnBnClickedEventCheck();
  }
  dlg_->OnBnClickedSetConfig();
  if (StatusIs(exchange_texts::kNoCommunication)) return Fail(Status());
  const int sentWord = dlg_->m_nConfigWord;
  // Read back what the logger keeps now.
  dlg_->m_portCombo.SetCurSel(1);
  dlg_->OnCbnSelchangePort();
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  if (!StatusIs(kSuccess)) return Fail(Status());
  PrintInfo();
  return dlg_->m_nConfigWord == sentWord ? 0 : Fail(Text(kNotKept));
}

int Session::SyncClock() {
  if (!Start()) return 1;
  dlg_->OnBnClickedSyncClock();
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  if (!StatusIs(kSuccess) && !StatusIs(exchange_texts::kRecordingData)) return Fail(Status());
  const COrvikDlg& d = *dlg_;
  out_ << Text(kClockSet)
       << zfw::Format("%04d-%02d-%02dT%02d:%02d:%02d", d.m_nClockYear + 2000, d.m_nClockMonth, d.m_nClockDay,
                      d.m_nClockHour, d.m_nClockMinute, d.m_nClockSecond)
       << "\n";
  return 0;
}

int Session::Erase() {
  if (!Start()) return 1;
  dlg_->OnBnClickedErase();
  const bool terminal = StderrIsTerminal();
  int shown = -1;
  while (dlg_->Loop().TimerPeriod(COrvikDlg::kTimerEraseWait)) {
    Pump(kPumpMs);
    const int pos = dlg_->Controls().Get(IDC_PROGRESS).pos;
    if (terminal && pos != shown && dlg_->Loop().TimerPeriod(COrvikDlg::kTimerEraseWait)) {
      shown = pos;
      err_ << "\r" << Status() << " " << pos << std::flush;
    }
  }
  if (terminal && shown >= 0) err_ << "\n";
  dlg_->KillTimer(COrvikDlg::kTimerLivePoll);
  if (!StatusIs(kSuccess)) return Fail(Status());
  out_ << Text(kErased) << "\n";
  return 0;
}

}  // namespace zcli
