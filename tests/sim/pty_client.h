// A test-side serial client for the simulated logger's pseudo-terminal: opens the slave the
// way the program does (raw, exclusive, locked), writes requests and reads replies with a
// deadline so a missing reply fails the test instead of hanging it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zv::sim::testing {

class PtyClient {
 public:
  PtyClient() = default;
  ~PtyClient() { Close(); }
  PtyClient(const PtyClient&) = delete;
  PtyClient& operator=(const PtyClient&) = delete;

  // O_RDWR | O_NOCTTY | O_NONBLOCK, raw 8N1 at 921600, TIOCEXCL, then flock(LOCK_EX | LOCK_NB).
  // Returns false with a message in *error.
  bool Open(const std::string& path, std::string* error = nullptr);
  // TIOCNXCL, unlock, close.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool Write(const std::vector<uint8_t>& bytes);
  // Reads until n bytes came or deadlineMs passed; returns what came.
  std::vector<uint8_t> ReadExactly(std::size_t n, int deadlineMs = 5000);
  // Reads until nothing new arrived for quietMs (after at least one byte, or deadlineMs).
  std::vector<uint8_t> ReadUntilQuiet(int quietMs, int deadlineMs = 5000);
  // Bytes waiting in the receive queue (FIONREAD).
  int Waiting() const;

 private:
  int fd_ = -1;
};

// Write + ReadExactly in one call.
std::vector<uint8_t> Exchange(PtyClient& client, const std::vector<uint8_t>& request, std::size_t replyBytes,
                              int deadlineMs = 5000);

}  // namespace zv::sim::testing
