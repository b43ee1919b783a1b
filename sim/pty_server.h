// The simulated logger behind a pseudo-terminal. The program (or a test) opens the slave
// side like a serial port, once per exchange if it likes; the server thread reads requests
// from the master side and writes the replies, paced at the wire rate when asked to.
//
//   zv::sim::ServerOptions options;          // options.device.config.version = 210; ...
//   zv::sim::SimServer server(options);
//   std::string error;
//   if (!server.Start(&error)) ...;
//   open(server.PortName().c_str(), O_RDWR | O_NOCTTY) ...
//   server.Device().Measurement();           // what it would answer now
//   server.Unplug(); server.Replug();        // the cable pulled and plugged back
//   server.Stop();
//
// Unplugged, the logger closes its pseudo-terminal (whoever holds the slave sees a hang-up)
// and removes its link, so an open fails as it does for a USB adapter that is gone; plugged
// back, it answers on a new pseudo-terminal behind the same link. It is the same logger
// (memory, clock and battery go on) unless it is told to come back with another identity.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sim/device.h"
#include "sim/framer.h"

namespace zv::sim {

// The cable: when it comes out on its own, and when it goes back in.
struct HotPlugOptions {
  // Unplugged when the request after this many answered pages arrives (that request is lost).
  std::optional<uint32_t> unplugAfterPages;
  // Unplugged this long after Start.
  std::optional<uint32_t> unplugAfterMs;
  // Plugged back this long after every unplug; without it, only Replug() brings it back.
  std::optional<uint32_t> replugAfterMs;
  // The logger found after the first replug: another serial number (and version).
  std::optional<uint16_t> replugSerial;
  std::optional<uint16_t> replugVersion;
};

struct ServerOptions {
  DeviceOptions device;
  uint32_t latencyMs = 0;    // pause between a request and the first byte of its reply
  bool pacing = false;       // send replies at the wire rate instead of in one write
  uint32_t baudRate = 921600;  // pacing rate, 10 bits per byte
  // Receives a line per request, reply, dropped byte and lost reply. Not owned; it must
  // outlive the server, and nobody else may write to it while the server runs.
  std::ostream* log = nullptr;
  uint32_t idleFlushMs = 50;  // an unfinished request is given up after this much silence
  // A symlink to the slave, made by Start, moved to each new terminal, gone while unplugged
  // and removed by Stop. Empty: none, and clients use the terminal's own path.
  std::string linkPath;
  HotPlugOptions hotPlug;
  // Also receives the one-line notice of each unplug and replug (not owned, like log).
  std::ostream* notices = nullptr;
};

class SimServer {
 public:
  // clock drives the battery model and the device clock (not the delivery timing); it
  // must outlive the server. nullptr: the real clock.
  explicit SimServer(ServerOptions options, IClock* clock = nullptr);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Creates the pseudo-terminal (slave in raw mode) and its link, and starts answering.
  // False, with a message in *error, when either cannot be made.
  bool Start(std::string* error = nullptr);
  // Stops answering and closes the pseudo-terminal; the slave name and the link go away.
  void Stop();

  // Pulls the cable, or plugs it back, and returns once that is done; false when it was
  // already so (or the server is not running, or the logger vanished for good).
  bool Unplug();
  bool Replug();
  bool Plugged() const { return plugged_.load(); }

  bool Running() const { return thread_.joinable(); }
  // What clients open: the link when there is one, else the slave's path (empty before Start).
  std::string PortName() const;
  // The current slave's path, e.g. /dev/pts/3; empty before Start.
  std::string TerminalName() const;
  // True once the logger vanished by closing its port (fault kClose).
  bool LinkClosed() const { return linkClosed_.load(); }
  // Replies, or parts of them, that found no one listening and were not sent.
  uint32_t LostReplies() const { return lostReplies_.load(); }

  SimDevice& Device() { return device_; }

 private:
  enum class Command { kNone, kUnplug, kReplug };

  bool OpenTerminal(std::string* error);
  bool PlaceLink(std::string* error);
  void DoUnplug(const std::string& why);
  bool DoReplug(const std::string& why);
  void TimedEvents();
  void DrainWake();
  void RunCommand();
  bool CommandPending();
  bool Post(Command command);
  void Notice(const std::string& line);
  void WriteLine(std::ostream* out, const std::string& line) const;
  void RemoveLink();
  int PollTimeoutMs(int fallback) const;
  void Run();
  void Serve(const std::vector<uint8_t>& request);
  bool WaitMs(uint32_t ms);  // false when Stop() interrupted the wait
  bool SlaveOpen() const;
  bool WriteBurst(const std::vector<uint8_t>& bytes);
  void Log(const std::string& line);
  void LogDiscarded();

  ServerOptions options_;
  std::unique_ptr<IClock> ownClock_;
  SimDevice device_;
  RequestFramer framer_;
  mutable std::mutex nameMu_;
  std::string terminalName_;  // guarded by nameMu_: the server thread renames it on replug
  int master_ = -1;           // the server thread's alone once it runs
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> linkClosed_{false};
  std::atomic<uint32_t> lostReplies_{0};
  std::atomic<bool> plugged_{false};
  uint64_t startNs_ = 0;

  // Commands from other threads, handed to the server thread.
  std::mutex postMu_;  // one poster at a time, so each reads its own result
  std::mutex commandMu_;
  std::condition_variable commandDone_;
  Command command_ = Command::kNone;  // guarded by commandMu_
  bool commandResult_ = false;        // guarded by commandMu_
  uint64_t commandsPosted_ = 0;       // guarded by commandMu_
  uint64_t commandsDone_ = 0;         // guarded by commandMu_

  // The server thread's own.
  uint32_t pagesServed_ = 0;
  bool pageUnplugDone_ = false;
  std::optional<uint64_t> unplugAtNs_;
  std::optional<uint64_t> replugAtNs_;
};

}  // namespace zv::sim
