// An in-process port for deterministic tests. A ScriptedDevice stands behind a port name:
// it records every frame written to it and decides, poll by poll or by the time on a virtual
// clock, how many reply bytes are waiting. Nothing depends on wall-clock time: a reply
// "arrives" as the port is looked at, or as the test's clock moves.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace zv {

// One reply and the pace at which it arrives. arrival[k] is the number of its bytes that
// have arrived when the port is polled for the (k+1)-th time after the request was written;
// polls past the end of the list see the whole reply. An empty arrival list means the
// whole reply is waiting at the first poll.
// A reply may arrive by time instead: with timed set, at each entry's atMs after the write
// (on the device's clock) its count of bytes has arrived, nothing before the first entry, and
// no more than the last entry says (list the whole size last for the whole reply).
struct ScriptedArrival {
  uint32_t atMs = 0;
  std::size_t count = 0;
};

struct ScriptedReply {
  std::vector<uint8_t> bytes;
  std::vector<std::size_t> arrival;
  std::vector<ScriptedArrival> timed = {};  // defaulted: a reply written as {bytes, arrival} stays valid
};

class ScriptedDevice {
 public:
  // clock: the time timed arrivals and hang-ups go by, and that WaitForInput sleeps on;
  // nullptr for a virtual clock of the device's own. It must outlive the device.
  explicit ScriptedDevice(std::string name = {}, IClock* clock = nullptr);
  const std::string& Name() const { return name_; }
  IClock& Clock() const { return *clock_; }

  // Answers the next written frame with this reply (queued replies are used in order).
  void QueueReply(ScriptedReply reply);
  // Answers every written frame for which no reply is queued; return nullopt-like empty
  // bytes to stay silent.
  void SetResponder(std::function<ScriptedReply(const std::vector<uint8_t>& request)> responder);
  // Makes every open of this device fail with the given error; an ok() error lets opens
  // succeed again.
  void FailOpen(PortError error);
  // The device goes away afterMs from now (0: at once): from then on the port open on it
  // reports kHangUp to everything, and opens fail with kNotFound until PlugIn.
  void HangUp(uint32_t afterMs = 0);
  // The device is back: opens succeed again, with an empty queue. A port opened before the
  // loss stays hung up, as a handle to an unplugged adapter does.
  void PlugIn();

  // What happened so far.
  std::vector<std::vector<uint8_t>> Written() const;  // every Write call, in order
  int OpenCount() const;  // successful opens
  int PollCount() const;  // QueryStatus calls since the last write
  LineSettings Settings() const;
  bool IsOpen() const;

  // Backend side (used by ScriptedSerialBackend and its ports).
  // An open starts with an empty input queue, as a real port does after its last close;
  // fails with kBusy while the device is open.
  // session identifies this open: a port opened before a hang-up never works again.
  PortError OnOpen(int& session);
  void OnClose(int session);
  // kHangUp once the device has gone under the open session; ok otherwise.
  PortError OnCheck(int session, const char* operation) const;
  // By the time of a write, an earlier reply has arrived in full: its unread bytes stay
  // waiting ahead of the new reply.
  void OnWrite(const uint8_t* data, std::size_t size);
  uint32_t OnPoll();  // advances the arrival schedule by one poll, returns bytes waiting
  // Milliseconds from now to the next timed arrival or hang-up, if one is to come.
  bool NextEventIn(uint32_t& ms) const;
  std::size_t OnRead(uint8_t* data, std::size_t size);  // waiting bytes, oldest first
  void OnSetSettings(const LineSettings& s);

 private:
  // Installs the reply to the frame just written; mu_ held.
  void StartReplyLocked(ScriptedReply reply);
  // Whether the loss has come for the open session; mu_ held.
  bool LostLocked(int session) const;
  // Milliseconds since the reply was written; mu_ held.
  uint32_t SinceWriteLocked() const { return clock_->TickCount() - writeTick_; }

  const std::string name_;
  std::unique_ptr<VirtualClock> ownClock_;  // when none was given
  IClock* const clock_;
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
  uint32_t writeTick_ = 0;  // when current_ was written
  int session_ = 0;         // the latest open; earlier ones are dead
  bool lossSet_ = false;    // a hang-up is due at lossTick_ (or has come)
  uint32_t lossTick_ = 0;
  std::vector<uint8_t> pending_;  // arrived and not yet read, from earlier replies: read first
};

class ScriptedSerialBackend final : public ISerialBackend {
 public:
  // clock: given to every device (see ScriptedDevice); must outlive the backend.
  explicit ScriptedSerialBackend(IClock* clock = nullptr) : clock_(clock) {}
  // The device behind a name; created on first use. Names without a device do not exist.
  std::shared_ptr<ScriptedDevice> AddDevice(const std::string& name);
  std::shared_ptr<ScriptedDevice> Device(const std::string& name) const;
  PortError Open(const std::string& name, std::unique_ptr<ISerialPort>& port) override;

 private:
  IClock* const clock_;
  mutable std::mutex mu_;
  std::map<std::string, std::shared_ptr<ScriptedDevice>> devices_;
};

}  // namespace zv
