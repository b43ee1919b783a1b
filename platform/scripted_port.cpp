#include "platform/scripted_port.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zv {

namespace {

PortError MakeError(PortErrorKind kind, std::string message) {
  PortError e;
  e.kind = kind;
  e.message = std::move(message);
  return e;
}

// A port handed out by ScriptedSerialBackend; everything it does goes to its device, which
// is what the test looks at.
class ScriptedPort final : public ISerialPort {
 public:
  ScriptedPort(std::shared_ptr<ScriptedDevice> device, std::string name, int session)
      : device_(std::move(device)), name_(std::move(name)), session_(session) {}
  ~ScriptedPort() override { device_->OnClose(session_); }

  ScriptedPort(const ScriptedPort&) = delete;
  ScriptedPort& operator=(const ScriptedPort&) = delete;

  const std::string& Name() const override { return name_; }

  PortError GetSettings(LineSettings& settings) override {
    if (PortError e = device_->OnCheck(session_, "GetSettings"); !e.ok()) return e;
    settings = device_->Settings();
    return {};
  }

  PortError SetSettings(const LineSettings& settings) override {
    if (PortError e = device_->OnCheck(session_, "SetSettings"); !e.ok()) return e;
    device_->OnSetSettings(settings);
    return {};
  }

  PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    written = 0;
    if (PortError e = device_->OnCheck(session_, "write"); !e.ok()) return e;
    // Handing over nothing puts nothing on the line, so the device sees no frame.
    if (size > 0) device_->OnWrite(data, size);
    written = size;
    return {};
  }

  PortError QueryStatus(QueueStatus& status) override {
    status = QueueStatus{};
    if (PortError e = device_->OnCheck(session_, "status"); !e.ok()) return e;
    status.inQueue = device_->OnPoll();
    return {};
  }

  PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    read = 0;
    if (PortError e = device_->OnCheck(session_, "read"); !e.ok()) return e;
    read = size == 0 ? 0 : device_->OnRead(data, size);
    return {};
  }

  // Looks at the start, at every timed arrival or hang-up due before the deadline, and at the
  // deadline, sleeping on the device's clock in between: in virtual time a wait lasts exactly
  // as long as the script says. Each look is one poll of a poll-paced reply.
  PortError WaitForInput(std::size_t beyond, uint32_t timeoutMs, uint32_t& waiting) override {
    waiting = 0;
    IClock& clock = device_->Clock();
    const uint32_t start = clock.TickCount();
    for (;;) {
      if (PortError e = device_->OnCheck(session_, "poll"); !e.ok()) return e;
      const uint32_t count = device_->OnPoll();
      const uint32_t spent = clock.TickCount() - start;
      if (count > beyond || spent >= timeoutMs) {
        waiting = count;
        return {};
      }
      uint32_t step = timeoutMs - spent;
      if (uint32_t next = 0; device_->NextEventIn(next)) step = std::min(step, std::max<uint32_t>(next, 1));
      clock.Sleep(step);
    }
  }

 private:
  std::shared_ptr<ScriptedDevice> device_;
  std::string name_;
  const int session_;
};

}  // namespace

ScriptedDevice::ScriptedDevice(std::string name, IClock* clock)
    : name_(std::move(name)),
      ownClock_(clock ? nullptr : std::make_unique<VirtualClock>()),
      clock_(clock ? clock : ownClock_.get()) {}

void ScriptedDevice::HangUp(uint32_t afterMs) {
  std::lock_guard lock(mu_);
  lossSet_ = true;
  lossTick_ = clock_->TickCount() + afterMs;
}

void ScriptedDevice::PlugIn() {
  std::lock_guard lock(mu_);
  lossSet_ = false;
  // The handle open before the loss belongs to a device that no longer exists.
  ++session_;
  open_ = false;
}

bool ScriptedDevice::LostLocked(int session) const {
  if (session != session_) return true;
  return lossSet_ && static_cast<int32_t>(clock_->TickCount() - lossTick_) >= 0;
}

PortError ScriptedDevice::OnCheck(int session, const char* operation) const {
  std::lock_guard lock(mu_);
  if (!LostLocked(session)) return {};
  return MakeError(PortErrorKind::kHangUp, std::string(operation) + " " + name_ + ": the device hung up");
}

bool ScriptedDevice::NextEventIn(uint32_t& ms) const {
  std::lock_guard lock(mu_);
  bool any = false;
  ms = 0;
  const auto consider = [&](uint32_t in) {
    if (!any || in < ms) ms = in;
    any = true;
  };
  const uint32_t since = SinceWriteLocked();
  for (const ScriptedArrival& a : current_.timed) {
    if (a.atMs > since) consider(a.atMs - since);
  }
  const auto untilLoss = static_cast<int32_t>(lossTick_ - clock_->TickCount());
  if (lossSet_ && untilLoss > 0) consider(static_cast<uint32_t>(untilLoss));
  return any;
}

void ScriptedDevice::QueueReply(ScriptedReply reply) {
  std::lock_guard lock(mu_);
  queued_.push_back(std::move(reply));
}

void ScriptedDevice::SetResponder(
    std::function<ScriptedReply(const std::vector<uint8_t>& request)> responder) {
  std::lock_guard lock(mu_);
  responder_ = std::move(responder);
}

void ScriptedDevice::FailOpen(PortError error) {
  std::lock_guard lock(mu_);
  openError_ = std::move(error);
}

std::vector<std::vector<uint8_t>> ScriptedDevice::Written() const {
  std::lock_guard lock(mu_);
  return written_;
}

int ScriptedDevice::OpenCount() const {
  std::lock_guard lock(mu_);
  return openCount_;
}

int ScriptedDevice::PollCount() const {
  std::lock_guard lock(mu_);
  return polls_;
}

LineSettings ScriptedDevice::Settings() const {
  std::lock_guard lock(mu_);
  return settings_;
}

bool ScriptedDevice::IsOpen() const {
  std::lock_guard lock(mu_);
  return open_;
}

PortError ScriptedDevice::OnOpen(int& session) {
  std::lock_guard lock(mu_);
  if (!openError_.ok()) return openError_;
  if (lossSet_ && LostLocked(session_)) return MakeError(PortErrorKind::kNotFound, "open " + name_ + ": no such port");
  if (open_) return MakeError(PortErrorKind::kBusy, "open " + name_ + ": port is busy");
  open_ = true;
  ++openCount_;
  session = ++session_;
  pending_.clear();
  current_ = ScriptedReply{};
  arrived_ = 0;
  delivered_ = 0;
  return {};
}

void ScriptedDevice::OnClose(int session) {
  std::lock_guard lock(mu_);
  if (session == session_) open_ = false;
}

void ScriptedDevice::OnWrite(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> frame(data, data + size);
  std::function<ScriptedReply(const std::vector<uint8_t>&)> responder;
  {
    std::lock_guard lock(mu_);
    written_.push_back(frame);
    if (!queued_.empty()) {
      ScriptedReply reply = std::move(queued_.front());
      queued_.pop_front();
      StartReplyLocked(std::move(reply));
      return;
    }
    responder = responder_;
  }
  // The responder runs without the lock so that it may script the device further.
  ScriptedReply reply;
  if (responder) reply = responder(frame);
  std::lock_guard lock(mu_);
  StartReplyLocked(std::move(reply));
}

void ScriptedDevice::StartReplyLocked(ScriptedReply reply) {
  // Whatever of the earlier reply the program did not read is still in the port's queue.
  if (delivered_ < current_.bytes.size()) {
    pending_.insert(pending_.end(), current_.bytes.begin() + static_cast<std::ptrdiff_t>(delivered_),
                    current_.bytes.end());
  }
  current_ = std::move(reply);
  arrived_ = 0;
  delivered_ = 0;
  polls_ = 0;
  writeTick_ = clock_->TickCount();
}

uint32_t ScriptedDevice::OnPoll() {
  std::lock_guard lock(mu_);
  ++polls_;
  const std::size_t total = current_.bytes.size();
  std::size_t now = total;
  if (!current_.timed.empty()) {
    now = 0;
    const uint32_t since = SinceWriteLocked();
    for (const ScriptedArrival& a : current_.timed) {
      if (a.atMs <= since) now = std::min(a.count, total);
    }
  } else if (const auto index = static_cast<std::size_t>(polls_ - 1); index < current_.arrival.size()) {
    now = std::min(current_.arrival[index], total);
  }
  arrived_ = std::max(arrived_, now);
  const std::size_t waiting = pending_.size() + (arrived_ - delivered_);
  return static_cast<uint32_t>(std::min<std::size_t>(waiting, std::numeric_limits<uint32_t>::max()));
}

std::size_t ScriptedDevice::OnRead(uint8_t* data, std::size_t size) {
  std::lock_guard lock(mu_);
  const std::size_t fromPending = std::min(size, pending_.size());
  if (fromPending > 0) {
    std::memcpy(data, pending_.data(), fromPending);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(fromPending));
  }
  const std::size_t fromCurrent = std::min(size - fromPending, arrived_ - delivered_);
  if (fromCurrent > 0) {
    std::memcpy(data + fromPending, current_.bytes.data() + delivered_, fromCurrent);
    delivered_ += fromCurrent;
  }
  return fromPending + fromCurrent;
}

void ScriptedDevice::OnSetSettings(const LineSettings& s) {
  std::lock_guard lock(mu_);
  settings_ = s;
}

std::shared_ptr<ScriptedDevice> ScriptedSerialBackend::AddDevice(const std::string& name) {
  std::lock_guard lock(mu_);
  auto& device = devices_[name];
  if (!device) device = std::make_shared<ScriptedDevice>(name, clock_);
  return device;
}

std::shared_ptr<ScriptedDevice> ScriptedSerialBackend::Device(const std::string& name) const {
  std::lock_guard lock(mu_);
  const auto it = devices_.find(name);
  return it == devices_.end() ? nullptr : it->second;
}

PortError ScriptedSerialBackend::Open(const std::string& name, std::unique_ptr<ISerialPort>& port) {
  port.reset();
  std::shared_ptr<ScriptedDevice> device = Device(name);
  if (!device) return MakeError(PortErrorKind::kNotFound, "open " + name + ": no such port");
  int session = 0;
  if (PortError error = device->OnOpen(session); !error.ok()) return error;
  port = std::make_unique<ScriptedPort>(std::move(device), name, session);
  return {};
}

}  // namespace zv
