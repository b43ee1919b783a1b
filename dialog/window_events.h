// What the window tells its front ends (zentrova-cli, a chart, tests) about what happened, so
// that none of them has to read the status line or the window's members to find out.
//
// Threads: every call comes on the window thread, from inside the handler, tick or exchange
// that made it happen, and before that handler returns. The download worker never calls an
// observer: its news reaches the window thread first. An observer that hands the news to
// another thread copies what it needs; the references are valid for the call only.
//
// An observer may add or remove observers (itself included) from inside a call: the change
// holds from the next event on. It must not destroy the window from inside a call.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv {

// The operations whose end is told, each once per run.
enum class Operation {
  kConfigurationRead,  // after a port is picked
  kSetConfiguration,
  kSyncClock,
  kErase,              // ends with the erase wait
  kDownload,           // the memory download, from the file chosen to the last page
  kRecording,          // from the file chosen to the record toggle released
  kPoll,               // one exchange of the live or the recording poll
};

// How an operation ended. Only kDone is a success.
enum class Result {
  kDone,
  kNoReply,       // nothing came within the wait
  kReceiveError,  // too short, cut short, or a reply of another kind than asked for
  kCrcError,
  kPortError,     // the port could not be opened: the logger-lost event came before, with why
  kFileError,     // a file of rows could not be made or written
  kCancelled,     // the person said no, chose no file, or switched the download off
  kOtherLogger,   // the lost logger's port came back with another logger: nothing of it was written
};

// A moment on the logger's clock, as its replies give it.
struct DeviceTime {
  int year = 0;  // full year
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  float seconds = 0.0f;  // with its fraction
};

// One decoded measurement: the values, and the texts exactly as the window shows them.
struct Measurement {
  DeviceTime time;
  float voltage = 0.0f;  // V
  float current = 0.0f;  // A, the reading the window shows (low or high range)
  float power = 0.0f;    // W
  float charge = 0.0f;   // Ah
  std::string timeText;
  std::string voltageText;
  std::string currentText;
  std::string powerText;
  std::string chargeText;
};

// Who the logger is, from its configuration reply.
struct LoggerIdentity {
  int version = 0;
  int serialNumber = 0;
  std::string deviceName;  // as in the files' names and headers
};

// The configuration a configuration read found.
struct LoggerConfiguration {
  LoggerIdentity identity;
  unsigned nominalVoltage = 0;  // V
  unsigned shuntMillivolts = 0;
  unsigned shuntAmps = 0;
  bool shuntSettable = false;  // whether Set configuration may change the shunt rating
  float recordPeriod = 0.0f;   // s
  bool eventRecording = false;
  int configWord = 0;  // the period in 1/100 s and the event flag, as the logger keeps them
};

struct OperationEnd {
  Operation operation = Operation::kPoll;
  Result result = Result::kDone;
  // What the window shows of the outcome, in its language: the status line as the operation
  // left it; for a file error, the message of its box; empty when cancelled.
  std::string text;
  // A configuration read that is done: what it read. A Set configuration: what it sent (or
  // meant to send, when the port did not open).
  std::optional<LoggerConfiguration> configuration;
  // A Synchronize clocks: the PC's time it sent (both attempts send the same).
  std::optional<DeviceTime> clockSent;
};

class IWindowEvents {
 public:
  virtual ~IWindowEvents() = default;
  // A measurement reply decoded in full (live or recording poll).
  virtual void OnMeasurement(const Measurement&) {}
  // A row of the recording written to its file.
  virtual void OnRecordRow() {}
  // A page of the download written to the dump file; pagesDone counts from 1.
  virtual void OnPageWritten(int /*pagesDone*/, int /*pagesInAll*/) {}
  // A page of the download did not come; it is asked for again at the next download tick.
  virtual void OnPageMissing() {}
  // The logger's port could not be opened, or hung up under an exchange; why is the system's
  // reason. Told once for a loss: the window then watches for the port to come back.
  virtual void OnLoggerLost(const std::string& /*why*/) {}
  // A configuration read answered after the logger was lost, by the same logger (same serial
  // number and version) or after a loss whose logger was never known.
  virtual void OnLoggerBack(const LoggerIdentity&) {}
  virtual void OnOperationEnded(const OperationEnd&) {}
};

// The window's observers. Window thread only.
class WindowEventList {
 public:
  void Add(IWindowEvents* observer);
  void Remove(IWindowEvents* observer);
  // Calls every observer added before the call, in the order they were added.
  template <typename Call>
  void Send(Call call) {
    const std::vector<IWindowEvents*> now = observers_;
    for (IWindowEvents* o : now) {
      if (Has(o)) call(*o);
    }
  }

 private:
  bool Has(const IWindowEvents* observer) const;
  std::vector<IWindowEvents*> observers_;
};

}  // namespace zv
