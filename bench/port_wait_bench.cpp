// How soon a wait sees a reply that has arrived, and what the waiting costs: the fixed-step
// poll (sleep a step, ask the count) against WaitForInput, which the port wakes. Over a
// pseudo-terminal, a device thread on the master side answers each one-byte request at once
// with a reply of the given size; latency is from the device's write of the reply's last byte
// to the wait returning with the whole reply counted, processor time is the waiting thread's.
// Usage:
//   port_wait_bench [replies]          (default 500 per case)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The device: answers every byte it reads with one reply, and says when the reply was written.
class PtyDevice {
 public:
  explicit PtyDevice(std::size_t replyBytes) : reply_(replyBytes, 0x5A) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
      return;
    }
    name_ = name;
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyDevice() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
  }
  const std::string& Name() const { return name_; }
  int64_t SentNs() const { return sentNs_.load(); }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      uint8_t request[64];
      if (::read(master_, request, sizeof request) <= 0) continue;
      std::size_t done = 0;
      while (done < reply_.size()) {
        const ssize_t n = ::write(master_, reply_.data() + done, reply_.size() - done);
        if (n > 0) done += static_cast<std::size_t>(n);
      }
      sentNs_ = NowNs();
    }
  }

  std::vector<uint8_t> reply_;
  int master_ = -1;
  std::string name_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> sentNs_{0};
};

enum class Mode { kStep1, kStep5, kWoken };

const char* ModeName(Mode m) {
  switch (m) {
    case Mode::kStep1:
      return "fixed 1 ms steps";
    case Mode::kStep5:
      return "fixed 5 ms steps";
    case Mode::kWoken:
      return "WaitForInput";
  }
  return "?";
}

// Waits for size bytes the way the mode says; false when the port failed or gave up.
bool WaitFor(zv::ISerialPort& port, std::size_t size, Mode mode, zv::IClock& clock) {
  for (int tries = 0; tries < 5000; ++tries) {
    if (mode == Mode::kWoken) {
      uint32_t waiting = 0;
      if (!port.WaitForInput(size - 1, 1000, waiting).ok()) return false;
      if (waiting >= size) return true;
      continue;
    }
    clock.Sleep(mode == Mode::kStep1 ? 1 : 5);
    zv::QueueStatus status;
    if (!port.QueryStatus(status).ok()) return false;
    if (status.inQueue >= size) return true;
  }
  return false;
}

void Run(std::size_t replyBytes, Mode mode, int replies) {
  PtyDevice device(replyBytes);
  if (device.Name().empty()) {
    std::fprintf(stderr, "port_wait_bench: no pseudo-terminal\n");
    std::exit(1);
  }
  const auto backend = zv::MakePosixSerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  zv::LineSettings line;
  line.baudRate = 921600;
  if (!backend->Open(device.Name(), port).ok() || !port->SetSettings(line).ok()) {
    std::fprintf(stderr, "port_wait_bench: cannot open %s\n", device.Name().c_str());
    std::exit(1);
  }
  zv::SteadyClock clock;
  std::vector<double> latencyUs;
  std::vector<uint8_t> buffer(replyBytes);
  int64_t cpuNs = 0;
  for (int i = 0; i < replies; ++i) {
    const int64_t before = device.SentNs();
    const uint8_t request = 0x01;
    std::size_t written = 0;
    port->Write(&request, 1, written);
    const int64_t cpu0 = ThreadCpuNs();
    const bool got = WaitFor(*port, replyBytes, mode, clock);
    const int64_t doneNs = NowNs();
    cpuNs += ThreadCpuNs() - cpu0;
    if (!got) {
      std::fprintf(stderr, "port_wait_bench: reply %d did not come\n", i);
      std::exit(1);
    }
    // The device stamps after its last write returns, which may be a little after the wait saw
    // the bytes: such a reply counts as seen at once.
    while (device.SentNs() == before) std::this_thread::yield();
    latencyUs.push_back(std::max<double>(0.0, static_cast<double>(doneNs - device.SentNs()) / 1000.0));
    std::size_t have = 0;
    while (have < replyBytes) {
      std::size_t n = 0;
      port->Read(buffer.data() + have, replyBytes - have, n);
      have += n;
    }
  }
  std::sort(latencyUs.begin(), latencyUs.end());
  double sum = 0;
  for (double v : latencyUs) sum += v;
  const auto at = [&](double q) { return latencyUs[static_cast<std::size_t>(q * static_cast<double>(latencyUs.size() - 1))]; };
  std::printf("%5zu-byte reply  %-17s latency mean %7.1f us  median %7.1f  p99 %7.1f  max %7.1f   cpu %6.1f us/reply\n",
              replyBytes, ModeName(mode), sum / static_cast<double>(latencyUs.size()), at(0.5), at(0.99),
              latencyUs.back(), static_cast<double>(cpuNs) / 1000.0 / replies);
}

}  // namespace

int main(int argc, char** argv) {
  const int replies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  for (const std::size_t bytes : {std::size_t{9}, std::size_t{4096}}) {
    for (const Mode mode : {Mode::kStep1, Mode::kStep5, Mode::kWoken}) Run(bytes, mode, replies);
  }
  return 0;
}
