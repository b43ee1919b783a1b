#include "sim/loopback_port.h"

#include <mutex>

#include "platform/input_queue.h"
#include "sim/framer.h"

namespace zv::sim {

namespace {

PortError Error(PortErrorKind kind, std::string message) { return MakePortError(kind, 0, std::move(message)); }

// The device and the wire, shared by the backend and its open port.
struct Line {
  std::mutex mu;  // guards everything below
  std::unique_ptr<IClock> ownClock;
  IClock& clock;  // the one the device runs on
  SimDevice device;
  RequestFramer framer;
  InputQueue rx;  // reply bytes not yet read
  LineSettings settings;
  bool open = false;
  bool vanished = false;  // the logger closed its end for good

  Line(DeviceOptions options, IClock* clock)
      : ownClock(clock ? nullptr : std::make_unique<SteadyClock>()),
        clock(clock ? *clock : *ownClock),
        device(options, this->clock) {}
  IClock& Clock() { return clock; }
};

class LoopbackPort final : public ISerialPort {
 public:
  LoopbackPort(std::shared_ptr<Line> line, std::string name) : line_(std::move(line)), name_(std::move(name)) {}
  ~LoopbackPort() override {
    std::lock_guard lock(line_->mu);
    line_->open = false;
  }

  const std::string& Name() const override { return name_; }

  PortError GetSettings(LineSettings& settings) override {
    std::lock_guard lock(line_->mu);
    settings = line_->settings;
    return {};
  }

  PortError SetSettings(const LineSettings& settings) override {
    std::lock_guard lock(line_->mu);
    line_->settings = settings;
    return {};
  }

  PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    written = 0;
    std::lock_guard lock(line_->mu);
    if (line_->vanished) return Gone("write");
    line_->framer.Push(std::span<const uint8_t>(data, size));
    written = size;
    while (auto request = line_->framer.Next()) {
      const Response response = line_->device.Handle(*request);
      if (response.closeLink) {
        line_->vanished = true;
        line_->rx.Clear();
        return {};
      }
      const std::vector<uint8_t> bytes = response.Bytes();
      line_->rx.Append(bytes.data(), bytes.size());
    }
    return {};
  }

  PortError QueryStatus(QueueStatus& status) override {
    status = QueueStatus{};
    std::lock_guard lock(line_->mu);
    if (line_->vanished) return Gone("status");
    status.inQueue = static_cast<uint32_t>(line_->rx.Size());
    return {};
  }

  PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    std::lock_guard lock(line_->mu);
    read = line_->rx.Take(data, size);
    if (read == 0 && line_->vanished) return Gone("read");
    return {};
  }

  // A reply is complete the moment its request is written, and nothing else comes unasked:
  // with too few bytes waiting, nothing more can come in this wait, so it sleeps out its time.
  PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) override {
    waiting = 0;
    IClock* clock = nullptr;
    {
      std::lock_guard lock(line_->mu);
      if (line_->vanished) return Gone("poll");
      waiting = static_cast<uint32_t>(line_->rx.Size());
      if (waiting > beyond || timeoutMs == 0) return {};
      clock = &line_->Clock();
    }
    clock->Sleep(timeoutMs);
    std::lock_guard lock(line_->mu);
    if (line_->vanished) return Gone("poll");
    waiting = static_cast<uint32_t>(line_->rx.Size());
    return {};
  }

 private:
  PortError Gone(const char* operation) const {
    return Error(PortErrorKind::kHangUp, std::string(operation) + " " + name_ + ": the simulated logger has gone");
  }

  std::shared_ptr<Line> line_;
  std::string name_;
};

class LoopbackBackend final : public ISerialBackend {
 public:
  LoopbackBackend(DeviceOptions options, std::string portName, IClock* clock)
      : line_(std::make_shared<Line>(std::move(options), clock)), portName_(std::move(portName)) {}

  PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) override {
    port.reset();
    std::lock_guard lock(line_->mu);
    if (name != portName_ || line_->vanished) {
      return Error(PortErrorKind::kNotFound, "open " + name + ": no such port");
    }
    if (line_->open) return Error(PortErrorKind::kBusy, "open " + name + ": port is busy");
    line_->open = true;
    // As on a real port, nothing from an earlier open is waiting.
    line_->framer.Clear();
    line_->rx.Clear();
    port = std::make_unique<LoopbackPort>(line_, name);
    return {};
  }

 private:
  std::shared_ptr<Line> line_;
  std::string portName_;
};

}  // namespace

std::unique_ptr<ISerialBackend> MakeLoopbackBackend(DeviceOptions options, std::string portName, IClock* clock) {
  return std::make_unique<LoopbackBackend>(std::move(options), std::move(portName), clock);
}

}  // namespace zv::sim
