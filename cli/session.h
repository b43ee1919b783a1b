// The main window without a screen: zentrova-cli runs the window's own handlers, exchanges,
// decoding and files on its main thread (the window thread), answers the window's questions
// from the command line, and reads back what the window would have shown.
#pragma once

#include <atomic>
#include <memory>
#include <ostream>
#include <string>

#include "cli/interrupts.h"
#include "cli/options.h"
#include "dialog/orvik_dlg.h"
#include "framework/headless_view.h"
#include "platform/clock.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"

namespace zcli {

class Session {
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

  // The window's status line now.
  std::string Status() const;
  bool StatusIs(const Bilingual& text) const;
  // Fails with the window's status line on standard error.
  int Fail(const std::string& why);
  // The window's message boxes since the last call, on standard error.
  void ReportBoxes();
  void Pump(uint32_t ms);
  void PrintInfo();
  void PrintReading();
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
};

}  // namespace zcli
