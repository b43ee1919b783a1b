// The main window without a screen: zentrova-cli runs the window's own handlers, exchanges,
// decoding and files on its main thread (the window thread), answers the window's questions
// from the command line, and learns what happened from the window's events alone.
#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/interrupts.h"
#include "cli/options.h"
#include "dialog/orvik_dlg.h"
#include "dialog/window_events.h"
#include "framework/headless_view.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"

namespace zcli {

class Session : private zv::IWindowEvents {
 public:
  Session(const Options& options, std::ostream& out, std::ostream& err);
  ~Session();
  // Runs the command; returns the exit status.
  int Run();

 private:
  bool Start();          // the window, its language, and the logger's port picked and read
  bool StartWindow();    // the window alone
  int Ports();
  int Info();
  int Live();
  int Record();
  int Download();
  int SetConfig();
  int SyncClock();
  int Erase();

  // The window's events, gathered for the command's loop.
  void OnMeasurement(const zv::Measurement& m) override { measurements_.push_back(m); }
  void OnRecordRow() override { ++rowsWritten_; }
  void OnPageWritten(int pagesDone, int pagesInAll) override;
  void OnPageMissing() override { ++missesInRow_; }
  void OnLoggerLost(const std::string& why) override;
  void OnLoggerBack(const zv::LoggerIdentity&) override { lost_.reset(); }
  void OnOperationEnded(const zv::OperationEnd& end) override { ends_.push_back(end); }
  // The last end of the operation told since the last call for it; taken away.
  std::optional<zv::OperationEnd> TakeEnd(zv::Operation operation);

  // Whether the command ends on a loss of the logger now, with why: without --reconnect at
  // once, with it once the wait is longer than --reconnect-timeout or the command was
  // interrupted meanwhile.
  bool LossEnds(std::string& why) const;
  // Another logger answered the configuration read of the lost one's return.
  bool AnotherLoggerRead();
  // Fails with why on standard error.
  int Fail(const std::string& why);
  // The window's message boxes since the last call, on standard error.
  void ReportBoxes();
  void Pump(uint32_t ms);
  void PrintInfo(const zv::LoggerConfiguration& c);
  // False when standard output refused it; outError_ then holds the system's error number.
  bool PrintReading(const zv::Measurement& m);
  std::string Text(const Bilingual& text) const;

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  zfw::HeadlessView view_;
  zv::SteadyClock clock_;
  std::unique_ptr<zv::ISerialBackend> serial_;
  std::unique_ptr<zv::IPortTable> table_;
  std::string port_;
  std::unique_ptr<COrvikDlg> dlg_;
  std::size_t boxesReported_ = 0;
  // What the window told.
  zv::LoggerConfiguration config_;
  std::deque<zv::Measurement> measurements_;
  long rowsWritten_ = 0;
  int pagesDone_ = 0;
  int missesInRow_ = 0;
  std::optional<std::string> lost_;  // from the loss until the same logger is back
  std::chrono::steady_clock::time_point lostAt_;
  std::vector<zv::OperationEnd> ends_;
  int outError_ = 0;
};

}  // namespace zcli
