// An in-process port for deterministic tests. A ScriptedDevice stands behind a port name:
// it records every frame written to it and decides, poll by poll, how many reply bytes are
// waiting. Nothing depends on wall-clock time: a reply "arrives" as QueryStatus is called.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_port.h"

namespace zv {

// One reply and the pace at which it arrives. arrival[k] is the number of its bytes that
// have arrived when the port is polled for the (k+1)-th time after the request was written;
// polls past the end of the list see the whole reply. An empty arrival list means the
// whole reply is waiting at the first poll.
struct ScriptedReply {
  std::vector<uint8_t> bytes;
  std::vector<std::size_t> arrival;
};

class ScriptedDevice {
 public:
  explicit ScriptedDevice(std::string name = {}) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

  // Answers the next written frame with this reply (queued replies are used in order).
  void QueueReply(ScriptedReply reply);
  // Answers every written frame for which no reply is queued; return nullopt-like empty
  // bytes to stay silent.
  void SetResponder(std::function<ScriptedReply(const std::vector<uint8_t>& request)> responder);
  // Makes every open of this device fail with the given error; an ok() error lets opens
  // succeed again.
  void FailOpen(PortError error);

  // What happened so far.
  std::vector<std::vector<uint8_t>> Written() const;  // every Write call, in order
  int OpenCount() const;  // successful opens
  int PollCount() const;  // QueryStatus calls since the last write
  LineSettings Settings() const;
  bool IsOpen() const;

  // Backend side (used by ScriptedSerialBackend and its ports).
  // An open starts with an empty input queue, as a real port does after its last close;
  // fails with kBusy while the device is open.
  PortError OnOpen();
  void OnClose();
  // By the time of a write, an earlier reply has arrived in full: its unread bytes stay
  // waiting ahead of the new reply.
  void OnWrite(const uint8_t* data, std::size_t size);
  uint32_t OnPoll();  // advances the arrival schedule by one poll, returns bytes waiting
  std::size_t OnRead(uint8_t* data, std::size_t size);  // waiting bytes, oldest first
  void OnSetSettings(const LineSettings& s);

 private:
  // Installs the reply to the frame just written; mu_ held.
  void StartReplyLocked(ScriptedReply reply);

  const std::string name_;
  mutable std::mutex mu_;
  std::deque<ScriptedReply> queued_;
  std::function<ScriptedReply(const std::vector<uint8_t>&)> responder_;
  PortError openError_;
  std::vector<std::vector<uint8_t>> written_;
  LineSettings settings_;
  bool open_ = false;
  int openCount_ = 0;
  // The reply being delivered, how many of its bytes have arrived, and how many of those
  // the program has read.
  ScriptedReply current_;
  std::size_t arrived_ = 0;    // bytes of current_ that have arrived (never decreases)
  std::size_t delivered_ = 0;  // bytes of current_ already read by the program
  int polls_ = 0;
  std::vector<uint8_t> pending_;  // arrived and not yet read, from earlier replies: read first
};

class ScriptedSerialBackend final : public ISerialBackend {
 public:
  // The device behind a name; created on first use. Names without a device do not exist.
  std::shared_ptr<ScriptedDevice> AddDevice(const std::string& name);
  std::shared_ptr<ScriptedDevice> Device(const std::string& name) const;
  PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) override;

 private:
  mutable std::mutex mu_;
  std::map<std::string, std::shared_ptr<ScriptedDevice>> devices_;
};

}  // namespace zv
