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
//   server.Stop();
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "sim/device.h"
#include "sim/framer.h"

namespace zv::sim {

struct ServerOptions {
  DeviceOptions device;
  uint32_t latencyMs = 0;    // pause between a request and the first byte of its reply
  bool pacing = false;       // send replies at the wire rate instead of in one write
  uint32_t baudRate = 921600;  // pacing rate, 10 bits per byte
  // Receives a line per request, reply, dropped byte and lost reply. Not owned; it must
  // outlive the server, and nobody else may write to it while the server runs.
  std::ostream* log = nullptr;
  uint32_t idleFlushMs = 50;  // an unfinished request is given up after this much silence
};

class SimServer {
 public:
  // clock drives the battery model and the device clock (not the delivery timing); it
  // must outlive the server. nullptr: the real clock.
  explicit SimServer(ServerOptions options, IClock* clock = nullptr);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Creates the pseudo-terminal (slave in raw mode) and starts answering. False, with a
  // message in *error, when the pseudo-terminal cannot be made.
  bool Start(std::string* error = nullptr);
  // Stops answering and closes the pseudo-terminal; the slave name goes away.
  void Stop();

  bool Running() const { return thread_.joinable(); }
  // The slave's path, e.g. /dev/pts/3; empty before Start.
  const std::string& PortName() const { return portName_; }
  // True once the logger vanished by closing its port (fault kClose).
  bool LinkClosed() const { return linkClosed_.load(); }
  // Replies, or parts of them, that found no one listening and were not sent.
  uint32_t LostReplies() const { return lostReplies_.load(); }

  SimDevice& Device() { return device_; }

 private:
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
  std::string portName_;
  int master_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> linkClosed_{false};
  std::atomic<uint32_t> lostReplies_{0};
  uint64_t startNs_ = 0;
};

}  // namespace zv::sim
