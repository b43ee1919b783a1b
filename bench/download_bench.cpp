// The memory download through the window's own code: the window on a thread of its own with a
// headless view, the POSIX serial backend, and zentrova-sim started as a process of its own, so
// that the figures are the program's alone. Each run is a fresh process (this program started
// again with --one), so that its peak memory belongs to one download only.
//
// What it reports, per run:
//   - the download time: from the first page request written to the port to the last byte of
//     the last page read from it, timed by a thin layer over the POSIX backend. The window's
//     first download tick comes a second after the toggle; that second is not in this time,
//     but the toggle-to-end time is shown too.
//   - unpaced (zentrova-sim --no-pacing): pages per second;
//   - paced (the simulator sends at 921600 baud, 10 bits a byte): the download time against
//     the wire limit, 4096 bytes x 10 bits / 921600 baud = 44.44 ms a page, as a ratio;
//     and where the time between pages goes (request to first byte read, first byte to page
//     complete, page complete to the next request);
//   - the program's processor time during the download, and its peak resident memory
//     (ru_maxrss), for memories of 2048 pages (version 110) and 4096 pages (version 210).
//
// Goals, for the reader (nothing is asserted): paced, at most 1.005 x the wire limit on an
// idle machine and 1.01 x with every core kept busy by other processes (--load); unpaced, at
// least 2000 pages/s; at most 0.5 s of processor time per 2048 pages; the same peak memory
// whatever the size of the memory.
//
// Usage:
//   download_bench [--version N]... [--skip-paced] [--skip-unpaced] [--records N] [--load N]
//     --version N    download a logger of version N (repeatable); default 110 and 210
//     --skip-paced   only the unpaced runs (the paced 4096-page run takes about 3 minutes)
//     --skip-unpaced only the paced runs
//     --records N    records in the simulated memory; default: full (256 a page)
//     --load N       N processes spinning at normal priority for the whole of every run (as
//                    many as the machine has cores keeps them all busy); their time is not
//                    the program's
//   download_bench --one --version N [--paced] [--records N]
//                    one download in this process, ending with a RESULT line (what each run is)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/view.h"
#include "framework/numfmt.h"
#include "framework/winapp.h"
#include "link/protocol.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"
#include "process_support.h"

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;
constexpr double kBaud = 921600.0;
constexpr double kBitsPerByte = 10.0;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

using zbench::CpuSeconds;
using zbench::StartSimulator;

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// ---- timing layer over the serial backend -------------------------------------------------
// Written by the download worker, read by the bench once the download is over; atomics, so
// that the bench may also watch the page count while it waits.
struct PageTimes {
  std::atomic<int> requests{0};
  std::atomic<int> pages{0};
  std::atomic<int64_t> firstRequestNs{0};
  std::atomic<int64_t> lastPageNs{0};
  // Sums over the pages, in nanoseconds: request to first byte read, first byte to the page
  // complete, page complete to the next request.
  std::atomic<int64_t> toFirstByteNs{0};
  std::atomic<int64_t> transferNs{0};
  std::atomic<int64_t> betweenNs{0};
  std::atomic<int64_t> maxBetweenNs{0};
};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsPageRequest(const uint8_t* data, std::size_t size) {
  namespace proto = zv::proto;
  return size == proto::kRegisterRequestLength && data[proto::kFunctionOffset] == proto::kFnReadInput &&
         (data[proto::kRegisterCountOffset] << 8 | data[proto::kRegisterCountOffset + 1]) == proto::kPageCountField;
}

class TimedPort final : public zv::ISerialPort {
 public:
  TimedPort(std::unique_ptr<zv::ISerialPort> port, PageTimes& times) : port_(std::move(port)), times_(times) {}
  const std::string& Name() const override { return port_->Name(); }
  zv::PortError GetSettings(zv::LineSettings& s) override { return port_->GetSettings(s); }
  zv::PortError SetSettings(const zv::LineSettings& s) override { return port_->SetSettings(s); }
  zv::PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    const int64_t now = NowNs();
    if (IsPageRequest(data, size)) {
      if (times_.requests.fetch_add(1) == 0) times_.firstRequestNs = now;
      if (pageDoneNs_ != 0) {
        const int64_t between = now - pageDoneNs_;
        times_.betweenNs += between;
        times_.maxBetweenNs = std::max(times_.maxBetweenNs.load(), between);
      }
      inPage_ = true;
      pageBytes_ = 0;
      requestNs_ = now;
      firstByteNs_ = 0;
    }
    return port_->Write(data, size, written);
  }
  zv::PortError QueryStatus(zv::QueueStatus& status) override { return port_->QueryStatus(status); }
  zv::PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) override {
    return port_->WaitForInput(beyond, timeoutMs, waiting);
  }
  zv::PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    const zv::PortError e = port_->Read(data, size, read);
    if (inPage_ && read > 0) {
      const int64_t now = NowNs();
      if (firstByteNs_ == 0) {
        firstByteNs_ = now;
        times_.toFirstByteNs += now - requestNs_;
      }
      pageBytes_ += read;
      if (pageBytes_ >= zv::proto::kPageBytes) {
        inPage_ = false;
        pageDoneNs_ = now;
        times_.transferNs += now - firstByteNs_;
        times_.lastPageNs = now;
        ++times_.pages;
      }
    }
    return e;
  }

 private:
  std::unique_ptr<zv::ISerialPort> port_;
  PageTimes& times_;
  bool inPage_ = false;
  std::size_t pageBytes_ = 0;
  int64_t requestNs_ = 0;
  int64_t firstByteNs_ = 0;
  int64_t pageDoneNs_ = 0;
};

class TimedBackend final : public zv::ISerialBackend {
 public:
  TimedBackend(zv::ISerialBackend& inner, PageTimes& times) : inner_(inner), times_(times) {}
  zv::PortError Open(const std::string& name, std::unique_ptr<zv::ISerialPort>& port) override {
    std::unique_ptr<zv::ISerialPort> raw;
    const zv::PortError e = inner_.Open(name, raw);
    port = raw ? std::make_unique<TimedPort>(std::move(raw), times_) : nullptr;
    return e;
  }

 private:
  zv::ISerialBackend& inner_;
  PageTimes& times_;
};

// ---- the screen --------------------------------------------------------------------------
// What the window shows, as the Qt view keeps it: the last state of each control and nothing
// of its history, so that the process holds what the program would hold. Boxes get their
// default button; the file dialog is answered with the path given.
class BenchView final : public zfw::IView {
 public:
  void AnswerFileDialog(const std::string& path) {
    std::lock_guard lock(mu_);
    filePath_ = path;
  }
  std::optional<zfw::ControlState> Shown(int id) const {
    std::lock_guard lock(mu_);
    const auto it = shown_.find(id);
    if (it == shown_.end()) return std::nullopt;
    return it->second;
  }
  bool Visible() const {
    std::lock_guard lock(mu_);
    return visible_;
  }
  int Boxes() const {
    std::lock_guard lock(mu_);
    return boxes_;
  }
  void Input(const zfw::InputEvent& e) {
    zfw::InputSink sink;
    {
      std::lock_guard lock(mu_);
      sink = sink_;
    }
    if (sink) sink(e);
  }

  void Show(const zfw::DialogTemplate&, const std::vector<zfw::ControlState>& controls, HICON,
            zfw::InputSink sink) override {
    std::lock_guard lock(mu_);
    for (const auto& c : controls) shown_[c.id] = c;
    sink_ = std::move(sink);
    visible_ = true;
  }
  void Hide() override {
    std::lock_guard lock(mu_);
    visible_ = false;
    sink_ = nullptr;
  }
  int MessageBox(const zfw::MessageBoxRequest& request) override {
    std::lock_guard lock(mu_);
    ++boxes_;
    std::fprintf(stderr, "download_bench: the window says: %s\n", request.text.c_str());
    if ((request.type & MB_TYPEMASK) == MB_OKCANCEL) return (request.type & MB_DEFBUTTON2) != 0 ? IDCANCEL : IDOK;
    return IDOK;
  }
  std::optional<std::string> FileDialog(const zfw::FileDialogRequest&) override {
    std::lock_guard lock(mu_);
    std::optional<std::string> answer;
    if (!filePath_.empty()) answer = filePath_;
    filePath_.clear();
    return answer;
  }
  void OnControlChanged(const zfw::ControlState& state) override {
    std::lock_guard lock(mu_);
    shown_[state.id] = state;
  }
  void OnFocusChanged(int) override {}
  void OnSelectAll(int) override {}

 private:
  mutable std::mutex mu_;
  std::map<int, zfw::ControlState> shown_;
  zfw::InputSink sink_;
  std::string filePath_;
  int boxes_ = 0;
  bool visible_ = false;
};

// ---- one download, in a process of its own -------------------------------------------------

struct RunResult {
  bool ok = false;
  int pages = 0;
  double downloadS = 0;     // first page request to the last page's last byte
  double toggleToEndS = 0;  // the toggle to the window's end of the download
  double cpuS = 0;          // the program's processor time over toggle-to-end
  long peakRssKb = 0;
  std::size_t heapInUse = 0;   // malloc's bytes in use at the end of the download
  std::size_t heapSystem = 0;  // and what it has taken from the system (its high-water mark: it rarely gives back)
  double toFirstByteMs = 0, transferMs = 0, betweenMs = 0, maxBetweenMs = 0;  // per page
  uintmax_t dumpBytes = 0;
};

void Input(BenchView& view, zfw::InputEvent::Kind kind, int id, int index = -1) {
  zfw::InputEvent e;
  e.kind = kind;
  e.id = id;
  e.index = index;
  view.Input(e);
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout, std::chrono::milliseconds step) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

int RunOne(int version, bool paced, long records) {
  const int pages = static_cast<int>(zv::proto::MemoryPagesForVersion(version));
  if (records < 0) records = static_cast<long>(pages) * static_cast<long>(zv::proto::kRecordsPerPage);
  std::vector<std::string> simArgs{"--version", std::to_string(version), "--records", std::to_string(records)};
  if (!paced) simArgs.push_back("--no-pacing");
  std::string port;
  const pid_t sim = StartSimulator(simArgs, port);
  if (sim <= 0 || port.empty()) {
    std::fprintf(stderr, "download_bench: cannot start %s\n", ZENTROVA_SIM_EXE);
    return 1;
  }
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("zentrova-download-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  CWinApp app("zentrova-bench");
  BenchView view;
  zv::SteadyClock clock;
  const auto posix = zv::MakePosixSerialBackend();
  PageTimes times;
  TimedBackend serial(*posix, times);
  zv::FixedPortTable table;
  zfw::SetEnvironment(zfw::Environment{&view, &clock});
  RunResult r;
  {
    COrvikDlg dlg(PortAccess{&serial, &table, {port}});
    std::thread window([&] { dlg.DoModal(); });
    WaitFor([&] { return view.Visible(); }, std::chrono::seconds(10), std::chrono::milliseconds(10));

    // Picking the port reads the logger's configuration: its version decides the page count.
    Input(view, zfw::InputEvent::Kind::kComboSelect, IDC_PORT, 1);
    const std::string versionText = zfw::Format("Verion_%04d", version);
    const bool identified = WaitFor(
        [&] {
          const auto info = view.Shown(IDC_DEVICE_INFO);
          return info && info->text.find(versionText) != std::string::npos;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(10));

    if (identified) {
      view.AnswerFileDialog((dir / "dump.txt").string());
      const double cpu0 = CpuSeconds();
      const auto toggle = std::chrono::steady_clock::now();
      Input(view, zfw::InputEvent::Kind::kClick, IDC_RECEIVE);
      WaitFor([&] { return view.Shown(IDC_RECEIVE)->check == 1; }, std::chrono::seconds(5), std::chrono::milliseconds(1));
      // The end: the window springs the toggle back after the last page (or never, when the
      // logger stops answering; the limit is ten times the wire time and a minute).
      const auto limit = std::chrono::seconds(60) + std::chrono::milliseconds(pages * 445);
      const bool ended = WaitFor([&] { return view.Shown(IDC_RECEIVE)->check == 0; }, limit, std::chrono::milliseconds(1));
      const auto end = std::chrono::steady_clock::now();
      r.cpuS = CpuSeconds() - cpu0;
      const struct mallinfo2 heap = mallinfo2();
      r.heapInUse = heap.uordblks;
      r.heapSystem = heap.arena + heap.hblkhd;
      r.toggleToEndS = Seconds(end - toggle);
      r.pages = times.pages.load();
      r.ok = ended && r.pages == pages;
      r.downloadS = static_cast<double>(times.lastPageNs - times.firstRequestNs) / 1e9;
      const double n = std::max(1, r.pages);
      r.toFirstByteMs = static_cast<double>(times.toFirstByteNs) / 1e6 / n;
      r.transferMs = static_cast<double>(times.transferNs) / 1e6 / n;
      r.betweenMs = static_cast<double>(times.betweenNs) / 1e6 / std::max(1.0, n - 1);
      r.maxBetweenMs = static_cast<double>(times.maxBetweenNs) / 1e6;
      if (!ended) Input(view, zfw::InputEvent::Kind::kClick, IDC_RECEIVE);  // switch it off
    } else {
      std::fprintf(stderr, "download_bench: the window did not read the logger's configuration\n");
    }
    Input(view, zfw::InputEvent::Kind::kEscape, 0);
    window.join();
  }
  r.peakRssKb = PeakRssKb();
  zfw::SetEnvironment(zfw::Environment{});
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) r.dumpBytes += entry.file_size(ec);
  std::filesystem::remove_all(dir, ec);

  // One line for the parent: version paced ok pages downloadS toggleToEndS cpuS rssKb ...
  std::printf("RESULT %d %d %d %d %.6f %.6f %.6f %ld %.4f %.4f %.4f %.4f %ju %zu %zu\n", version, paced ? 1 : 0,
              r.ok ? 1 : 0, r.pages, r.downloadS, r.toggleToEndS, r.cpuS, r.peakRssKb, r.toFirstByteMs, r.transferMs,
              r.betweenMs, r.maxBetweenMs, r.dumpBytes, r.heapInUse, r.heapSystem);
  return r.ok ? 0 : 1;
}

// ---- a load beside the program ---------------------------------------------------------------

// Processes that only spin, at the priority they were born with, as a busy program would.
std::vector<pid_t> StartLoad(int count) {
  std::vector<pid_t> pids;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      volatile uint64_t spin = 0;
      for (;;) spin = spin + 1;
    }
    if (pid > 0) pids.push_back(pid);
  }
  return pids;
}

void StopLoad(const std::vector<pid_t>& pids) {
  for (const pid_t pid : pids) kill(pid, SIGKILL);
  for (const pid_t pid : pids) waitpid(pid, nullptr, 0);
}

double LoadAverage() {
  double avg[1] = {0};
  return getloadavg(avg, 1) == 1 ? avg[0] : -1.0;
}

// ---- the runs, each in a fresh process -------------------------------------------------------

bool RunChild(const std::vector<std::string>& args, RunResult& r, int& version, bool& paced) {
  int out = -1;
  const pid_t pid = zbench::SpawnWithOutput("/proc/self/exe", "download_bench", args, out);
  if (pid < 0) return false;
  std::string text;
  char buf[512];
  for (ssize_t n; (n = read(out, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  close(out);
  int status = 0;
  waitpid(pid, &status, 0);
  const auto at = text.find("RESULT ");
  if (at == std::string::npos) return false;
  int pacedFlag = 0, okFlag = 0;
  const int got = std::sscanf(text.c_str() + at, "RESULT %d %d %d %d %lf %lf %lf %ld %lf %lf %lf %lf %ju %zu %zu",
                              &version, &pacedFlag, &okFlag, &r.pages, &r.downloadS, &r.toggleToEndS, &r.cpuS,
                              &r.peakRssKb, &r.toFirstByteMs, &r.transferMs, &r.betweenMs, &r.maxBetweenMs,
                              &r.dumpBytes, &r.heapInUse, &r.heapSystem);
  paced = pacedFlag != 0;
  r.ok = okFlag != 0;
  return got == 15;
}

void Report(int version, bool paced, const RunResult& r) {
  const double wirePerPage = static_cast<double>(zv::proto::kPageBytes) * kBitsPerByte / kBaud;
  std::printf("version %d, %d pages, %s%s\n", version, r.pages, paced ? "paced at 921600 baud" : "unpaced (--no-pacing)",
              r.ok ? "" : "  ** DOWNLOAD INCOMPLETE **");
  std::printf("  download (first request to last page): %.3f s = %.1f pages/s\n", r.downloadS,
              r.downloadS > 0 ? r.pages / r.downloadS : 0.0);
  if (paced) {
    const double wire = wirePerPage * r.pages;
    std::printf("  wire limit %.3f s (%.2f ms a page): %.1f %% of wire speed, %.4f x the limit (goal 1.005 idle, 1.01 loaded)\n",
                wire, wirePerPage * 1e3, r.downloadS > 0 ? 100.0 * wire / r.downloadS : 0.0,
                wire > 0 ? r.downloadS / wire : 0.0);
  } else {
    std::printf("  goal 2000 pages/s\n");
  }
  std::printf("  per page: request to first byte read %.3f ms, first byte to page complete %.3f ms, page to next request %.3f ms (max %.3f)\n",
              r.toFirstByteMs, r.transferMs, r.betweenMs, r.maxBetweenMs);
  std::printf("  toggle to end (with the first download tick, 1 s after the toggle): %.3f s\n", r.toggleToEndS);
  std::printf("  program processor time: %.3f s (%.1f %% of one core over toggle-to-end), %.3f s per 2048 pages (goal 0.5)\n",
              r.cpuS, r.toggleToEndS > 0 ? 100.0 * r.cpuS / r.toggleToEndS : 0.0,
              r.pages > 0 ? r.cpuS * 2048.0 / r.pages : 0.0);
  std::printf("  program peak resident memory (ru_maxrss): %.2f MiB; heap %.1f KiB in use at the end, %.1f KiB taken from the system\n",
              static_cast<double>(r.peakRssKb) / 1024.0, static_cast<double>(r.heapInUse) / 1024.0,
              static_cast<double>(r.heapSystem) / 1024.0);
  std::printf("  dump file: %.1f MiB\n", static_cast<double>(r.dumpBytes) / (1024.0 * 1024.0));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> versions;
  bool skipPaced = false;
  bool skipUnpaced = false;
  int load = 0;
  bool one = false;
  bool paced = false;
  long records = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--version" && i + 1 < argc) {
      versions.push_back(std::atoi(argv[++i]));
    } else if (a == "--records" && i + 1 < argc) {
      records = std::atol(argv[++i]);
    } else if (a == "--skip-paced") {
      skipPaced = true;
    } else if (a == "--skip-unpaced") {
      skipUnpaced = true;
    } else if (a == "--load" && i + 1 < argc) {
      load = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--one") {
      one = true;
    } else if (a == "--paced") {
      paced = true;
    } else {
      std::fprintf(stderr,
                   "usage: download_bench [--version N]... [--skip-paced] [--skip-unpaced] [--records N] [--load N]\n");
      return 2;
    }
  }
  if (versions.empty()) versions = {110, 210};
  if (one) return RunOne(versions.front(), paced, records);

  int failures = 0;
  std::vector<bool> modes;
  if (!skipUnpaced) modes.push_back(false);
  if (!skipPaced) modes.push_back(true);
  std::printf("load average before the runs: %.2f\n", LoadAverage());
  const std::vector<pid_t> loadPids = StartLoad(load);
  if (load > 0) std::printf("with %d spinning processes at normal priority\n", static_cast<int>(loadPids.size()));
  std::fflush(stdout);
  for (const bool p : modes) {
    for (const int v : versions) {
      std::vector<std::string> args{"--one", "--version", std::to_string(v)};
      if (p) args.push_back("--paced");
      if (records >= 0) {
        args.push_back("--records");
        args.push_back(std::to_string(records));
      }
      RunResult r;
      int version = v;
      bool wasPaced = p;
      if (!RunChild(args, r, version, wasPaced)) {
        std::fprintf(stderr, "download_bench: the run of version %d (%s) gave no result\n", v, p ? "paced" : "unpaced");
        ++failures;
        continue;
      }
      Report(version, wasPaced, r);
      if (!r.ok) ++failures;
    }
  }
  StopLoad(loadPids);
  std::printf("load average after the runs: %.2f\n", LoadAverage());
  return failures == 0 ? 0 : 1;
}
