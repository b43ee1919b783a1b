#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "sim/frames.h"

namespace zv::sim {

namespace {

// While no one has the slave open the master reports a hangup at once on every poll, so
// the server looks again after this pause.
constexpr int kHangupRetryMs = 2;
// Granularity of paced writes: far below the program's 1 ms poll, so a paced reply keeps
// growing at every poll until it is complete.
constexpr auto kPaceStep = std::chrono::microseconds(200);
constexpr std::size_t kLoggedPageBytes = 32;

uint64_t NowNs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

SimServer::SimServer(ServerOptions options, IClock* clock)
    : options_(std::move(options)),
      ownClock_(clock ? nullptr : std::make_unique<SteadyClock>()),
      device_(options_.device, clock ? *clock : *ownClock_) {}

SimServer::~SimServer() { Stop(); }

bool SimServer::OpenTerminal(std::string* error) {
  const auto fail = [&](const std::string& message) {
    if (error) *error = "cannot open a pseudo-terminal: " + message;
    CloseFd(master_);
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail(SystemError("posix_openpt"));
  if (::grantpt(master_) != 0) return fail(SystemError("grantpt"));
  if (::unlockpt(master_) != 0) return fail(SystemError("unlockpt"));
  char name[128] = {};
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail(SystemError("ptsname_r"));
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail(SystemError("fcntl"));

  // Terminal settings made through the master apply to the slave and stay while the master
  // is open, whoever opens and closes the slave: raw bytes, no echo.
  termios tio{};
  if (::tcgetattr(master_, &tio) != 0) return fail(SystemError("tcgetattr"));
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&tio, B921600);
  ::cfsetospeed(&tio, B921600);
  if (::tcsetattr(master_, TCSANOW, &tio) != 0) return fail(SystemError("tcsetattr"));
  std::lock_guard lock(nameMu_);
  terminalName_ = name;
  return true;
}

bool SimServer::PlaceLink(std::string* error) {
  const std::string& link = options_.linkPath;
  if (link.empty()) return true;
  const auto fail = [&] {
    if (error) *error = "cannot make the link " + link + ": " + std::strerror(errno);
    return false;
  };
  // Only a link of ours is replaced, never a file that happens to have the name.
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    errno = EEXIST;
    return fail();
  }
  // A new link under a temporary name renamed over the old one: a client never finds the
  // name missing or half made while the logger is plugged in.
  const std::string temporary = link + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(TerminalName().c_str(), temporary.c_str()) != 0) return fail();
  if (::rename(temporary.c_str(), link.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    return fail();
  }
  return true;
}

void SimServer::RemoveLink() {
  struct stat st {};
  const std::string& link = options_.linkPath;
  if (!link.empty() && ::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link.c_str());
}

bool SimServer::Start(std::string* error) {
  const auto fail = [&](const std::string& message) {
    if (error) *error = message;
    CloseFd(master_);
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
    return false;
  };
  if (Running()) return fail("the server is already running");
  std::string why;
  if (!OpenTerminal(&why)) return fail(why);
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail(SystemError("pipe2"));
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  if (!PlaceLink(&why)) return fail(why);

  stop_ = false;
  plugged_ = true;
  linkClosed_ = false;
  startNs_ = NowNs();
  pagesServed_ = 0;
  pageUnplugDone_ = false;
  replugAtNs_.reset();
  unplugAtNs_.reset();
  if (options_.hotPlug.unplugAfterMs) unplugAtNs_ = startNs_ + *options_.hotPlug.unplugAfterMs * 1000000ull;
  Log("listening on " + TerminalName());
  thread_ = std::thread([this] { Run(); });
  return true;
}

void SimServer::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
  thread_.join();
  {
    std::lock_guard lock(commandMu_);  // a poster still waiting learns that nobody will answer
    command_ = Command::kNone;
  }
  commandDone_.notify_all();
  CloseFd(master_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  RemoveLink();
  plugged_ = false;
}

std::string SimServer::PortName() const {
  if (!options_.linkPath.empty()) return options_.linkPath;
  return TerminalName();
}

std::string SimServer::TerminalName() const {
  std::lock_guard lock(nameMu_);
  return terminalName_;
}

bool SimServer::Unplug() { return Post(Command::kUnplug); }
bool SimServer::Replug() { return Post(Command::kReplug); }

bool SimServer::Post(Command command) {
  if (!Running()) return false;
  std::lock_guard serial(postMu_);
  std::unique_lock lock(commandMu_);
  command_ = command;
  const uint64_t mine = ++commandsPosted_;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
  commandDone_.wait(lock, [&] { return commandsDone_ >= mine || stop_; });
  return commandsDone_ >= mine && commandResult_;
}

bool SimServer::CommandPending() {
  std::lock_guard lock(commandMu_);
  return command_ != Command::kNone;
}

void SimServer::RunCommand() {
  Command command;
  {
    std::lock_guard lock(commandMu_);
    command = command_;
  }
  if (command == Command::kNone) return;
  bool done = false;
  if (command == Command::kUnplug && plugged_) {
    DoUnplug("on request");
    done = true;
  } else if (command == Command::kReplug && !plugged_ && !linkClosed_) {
    done = DoReplug("on request");
  }
  {
    std::lock_guard lock(commandMu_);
    command_ = Command::kNone;
    commandResult_ = done;
    ++commandsDone_;
  }
  commandDone_.notify_all();
}

void SimServer::DoUnplug(const std::string& why) {
  CloseFd(master_);  // whoever holds the slave now sees a hang-up
  framer_.Clear();   // half a request does not survive the cable
  framer_.TakeDiscarded();
  RemoveLink();
  plugged_ = false;
  const HotPlugOptions& h = options_.hotPlug;
  if (h.replugAfterMs) replugAtNs_ = NowNs() + *h.replugAfterMs * 1000000ull;
  Notice("unplugged " + why + ": " + PortName() + " is gone" +
         (h.replugAfterMs ? ", back in " + std::to_string(*h.replugAfterMs) + " ms" : ""));
}

bool SimServer::DoReplug(const std::string& why) {
  const HotPlugOptions& h = options_.hotPlug;
  if (h.replugSerial) device_.SetIdentity(*h.replugSerial, h.replugVersion);
  std::string error;
  if (!OpenTerminal(&error) || !PlaceLink(&error)) {
    CloseFd(master_);
    Notice("cannot plug back: " + error);
    return false;
  }
  plugged_ = true;
  const DeviceConfig c = device_.Config();
  Notice("plugged back " + why + ": " + PortName() +
         (options_.linkPath.empty() ? "" : " -> " + TerminalName()) + ", serial " + std::to_string(c.serial) +
         ", version " + std::to_string(c.version));
  return true;
}

void SimServer::TimedEvents() {
  const uint64_t now = NowNs();
  if (unplugAtNs_ && now >= *unplugAtNs_) {
    unplugAtNs_.reset();
    if (plugged_ && !linkClosed_) {
      DoUnplug("after " + std::to_string(*options_.hotPlug.unplugAfterMs) + " ms");
    }
  }
  if (replugAtNs_ && now >= *replugAtNs_) {
    replugAtNs_.reset();
    if (!plugged_ && !linkClosed_) DoReplug("after " + std::to_string(*options_.hotPlug.replugAfterMs) + " ms");
  }
}

int SimServer::PollTimeoutMs(int fallback) const {
  uint64_t wait = static_cast<uint64_t>(fallback);
  const uint64_t now = NowNs();
  for (const auto& at : {unplugAtNs_, replugAtNs_}) {
    if (!at) continue;
    // Rounded up, so the poll does not wake a moment early and spin.
    const uint64_t left = *at > now ? (*at - now + 999999) / 1000000 : 0;
    wait = std::min(wait, left);
  }
  return static_cast<int>(wait);
}

void SimServer::DrainWake() {
  char sink[64];
  while (::read(wakeRead_, sink, sizeof sink) > 0) {
  }
}

bool SimServer::WaitMs(uint32_t ms) {
  // A command is acted on at once, wherever the server is waiting; only an unplug (or Stop)
  // ends the wait early, since the reply it was waiting to send has nowhere to go.
  const uint64_t end = NowNs() + ms * 1000000ull;
  for (;;) {
    if (stop_) return false;
    if (CommandPending()) RunCommand();
    if (master_ < 0) return false;
    const uint64_t now = NowNs();
    if (now >= end) return true;
    pollfd p{wakeRead_, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>((end - now + 999999) / 1000000));
    DrainWake();
  }
}

bool SimServer::SlaveOpen() const {
  if (master_ < 0) return false;
  pollfd p{master_, POLLOUT, 0};
  ::poll(&p, 1, 0);
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
}

void SimServer::Log(const std::string& line) { WriteLine(options_.log, line); }

void SimServer::Notice(const std::string& line) {
  Log(line);
  if (options_.notices != options_.log) WriteLine(options_.notices, line);
}

void SimServer::WriteLine(std::ostream* out, const std::string& line) const {
  if (!out) return;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%10.3f] ", static_cast<double>(NowNs() - startNs_) / 1e9);
  *out << stamp << line << '\n';
  out->flush();
}

void SimServer::LogDiscarded() {
  const std::vector<uint8_t> dropped = framer_.TakeDiscarded();
  if (!dropped.empty()) Log("dropped " + std::to_string(dropped.size()) + " bytes: " + HexBytes(dropped));
}

void SimServer::Run() {
  uint64_t lastRxNs = 0;
  std::vector<uint8_t> buf(4096);
  while (!stop_) {
    RunCommand();
    TimedEvents();
    if (master_ < 0) {  // unplugged or vanished: wait for Stop, a command or the replug time
      pollfd p{wakeRead_, POLLIN, 0};
      ::poll(&p, 1, PollTimeoutMs(1000));
      DrainWake();
      continue;
    }
    const bool pending = framer_.HasPending();
    pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int r = ::poll(fds, 2, PollTimeoutMs(pending ? static_cast<int>(options_.idleFlushMs) : 500));
    if (stop_) break;
    if (fds[1].revents & POLLIN) DrainWake();
    if (r < 0) {
      if (errno == EINTR) continue;
      Log(SystemError("poll"));
      WaitMs(kHangupRetryMs);
      continue;
    }

    bool hangup = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
    if (fds[0].revents & POLLIN) {
      for (;;) {
        const ssize_t n = ::read(master_, buf.data(), buf.size());
        if (n > 0) {
          framer_.Push(std::span<const uint8_t>(buf.data(), static_cast<std::size_t>(n)));
          lastRxNs = NowNs();
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EIO) hangup = true;  // the last slave was closed
        break;
      }
    }

    std::vector<std::vector<uint8_t>> frames;
    while (auto f = framer_.Next()) frames.push_back(std::move(*f));
    const bool idle = framer_.HasPending() && NowNs() - lastRxNs >= options_.idleFlushMs * 1000000ull;
    if (framer_.HasPending() && (hangup || idle)) {
      // The sender went away or went quiet in the middle of a request: it will not be finished.
      for (auto& f : framer_.Flush()) frames.push_back(std::move(f));
    }
    LogDiscarded();
    for (const auto& f : frames) {
      Serve(f);
      RunCommand();
      if (stop_ || master_ < 0) break;  // what else came in went with the cable
    }
    if (hangup && !stop_) WaitMs(kHangupRetryMs);
  }
}

void SimServer::Serve(const std::vector<uint8_t>& request) {
  const std::optional<uint32_t> afterPages = options_.hotPlug.unplugAfterPages;
  if (afterPages && !pageUnplugDone_ && pagesServed_ >= *afterPages) {
    pageUnplugDone_ = true;
    Log("rx " + HexBytes(request) + "  (" + std::string(RequestKindName(ClassifyRequest(request))) + ")");
    DoUnplug("after " + std::to_string(*afterPages) + " pages");
    return;
  }
  const Response response = device_.Handle(request);
  Log("rx " + HexBytes(request) + "  (" + std::string(RequestKindName(response.request)) + ")");
  if (response.closeLink) {
    Log("vanishing: closing the port");
    CloseFd(master_);
    linkClosed_ = true;
    return;
  }
  if (response.Silent()) {
    Log("no reply");
    return;
  }
  for (std::size_t i = 0; i < response.bursts.size(); ++i) {
    const Burst& burst = response.bursts[i];
    const uint32_t delay = burst.delayMs + (i == 0 ? options_.latencyMs : 0);
    if (!WaitMs(delay)) return;
    if (response.request == RequestKind::kPage) {
      const std::size_t shown = std::min(burst.bytes.size(), kLoggedPageBytes);
      Log("tx " + std::to_string(burst.bytes.size()) + " page bytes: " +
          HexBytes(std::span<const uint8_t>(burst.bytes.data(), shown)) +
          (shown < burst.bytes.size() ? " ..." : ""));
    } else {
      Log("tx " + HexBytes(burst.bytes));
    }
    if (!WriteBurst(burst.bytes)) {
      ++lostReplies_;
      Log("reply not sent: the port was closed");
      return;
    }
  }
  if (response.request == RequestKind::kPage) ++pagesServed_;
}

bool SimServer::WriteBurst(const std::vector<uint8_t>& bytes) {
  const double bytesPerSecond = options_.baudRate / 10.0;
  const auto t0 = std::chrono::steady_clock::now();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (stop_ || !SlaveOpen()) return false;
    std::size_t due = bytes.size();
    if (options_.pacing && bytesPerSecond > 0) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      due = std::min(bytes.size(), static_cast<std::size_t>(elapsed * bytesPerSecond) + 1);
    }
    if (due > sent) {
      const ssize_t n = ::write(master_, bytes.data() + sent, due - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 10);  // the reader is behind; wait for room
      } else if (n < 0 && errno != EINTR) {
        return false;
      }
    }
    if (options_.pacing && sent < bytes.size()) std::this_thread::sleep_for(kPaceStep);
  }
  return true;
}

}  // namespace zv::sim
