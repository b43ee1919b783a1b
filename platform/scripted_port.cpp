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
  ScriptedPort(std::shared_ptr<ScriptedDevice> device, std::string name)
      : device_(std::move(device)), name_(std::move(name)) {}
  ~ScriptedPort() override { device_->OnClose(); }

  ScriptedPort(const ScriptedPort&) = delete;
  ScriptedPort& operator=(const ScriptedPort&) = delete;

  const std::string& Name() const override { return name_; }

  PortError GetSettings(LineSettings& settings) override {
    settings = device_->Settings();
    return {};
  }

  PortError SetSettings(const LineSettings& settings) override {
    device_->OnSetSettings(settings);
    return {};
  }

  PortError Write(const uint8_t* data, std::size_t size, std::size_t& written) override {
    // Handing over nothing puts nothing on the line, so the device sees no frame.
    if (size > 0) device_->OnWrite(data, size);
    written = size;
    return {};
  }

  PortError QueryStatus(QueueStatus& status) override {
    status = QueueStatus{};
    status.inQueue = device_->OnPoll();
    return {};
  }

  PortError Read(uint8_t* data, std::size_t size, std::size_t& read) override {
    read = size == 0 ? 0 : device_->OnRead(data, size);
    return {};
  }

 private:
  std::shared_ptr<ScriptedDevice> device_;
  std::string name_;
};

}  // namespace

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

PortError ScriptedDevice::OnOpen() {
  std::lock_guard lock(mu_);
  if (!openError_.ok()) return openError_;
  if (open_) return MakeError(PortErrorKind::kBusy, "open " + name_ + ": port is busy");
  open_ = true;
  ++openCount_;
  pending_.clear();
  current_ = ScriptedReply{};
  arrived_ = 0;
  delivered_ = 0;
  return {};
}

void ScriptedDevice::OnClose() {
  std::lock_guard lock(mu_);
  open_ = false;
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
}

uint32_t ScriptedDevice::OnPoll() {
  std::lock_guard lock(mu_);
  ++polls_;
  const std::size_t total = current_.bytes.size();
  std::size_t now = total;
  const auto index = static_cast<std::size_t>(polls_ - 1);
  if (index < current_.arrival.size()) now = std::min(current_.arrival[index], total);
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
  if (!device) device = std::make_shared<ScriptedDevice>(name);
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
  if (PortError error = device->OnOpen(); !error.ok()) return error;
  port = std::make_unique<ScriptedPort>(std::move(device), name);
  return {};
}

}  // namespace zv
