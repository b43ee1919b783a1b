// An observer of the window that writes down every event as one line, so that tests can
// compare what the window told with a list of their own.
#pragma once

#include <string>
#include <vector>

#include "dialog/window_events.h"

namespace ztest {

inline const char* OperationName(zv::Operation op) {
  switch (op) {
    case zv::Operation::kConfigurationRead: return "configuration read";
    case zv::Operation::kSetConfiguration: return "set configuration";
    case zv::Operation::kSyncClock: return "sync clock";
    case zv::Operation::kErase: return "erase";
    case zv::Operation::kDownload: return "download";
    case zv::Operation::kRecording: return "recording";
    case zv::Operation::kPoll: return "poll";
  }
  return "?";
}

inline const char* ResultName(zv::Result r) {
  switch (r) {
    case zv::Result::kDone: return "done";
    case zv::Result::kNoReply: return "no reply";
    case zv::Result::kReceiveError: return "receive error";
    case zv::Result::kCrcError: return "CRC error";
    case zv::Result::kPortError: return "port error";
    case zv::Result::kFileError: return "file error";
    case zv::Result::kCancelled: return "cancelled";
    case zv::Result::kOtherLogger: return "another logger";
  }
  return "?";
}

class EventLog : public zv::IWindowEvents {
 public:
  void OnMeasurement(const zv::Measurement& m) override {
    lines.push_back("measurement " + m.timeText + " U " + m.voltageText + " I " + m.currentText + " P " + m.powerText +
                    " Q " + m.chargeText);
    measurements.push_back(m);
  }
  void OnRecordRow() override { lines.push_back("row"); }
  void OnPageWritten(int done, int all) override {
    lines.push_back("page " + std::to_string(done) + "/" + std::to_string(all));
  }
  void OnPageMissing() override { lines.push_back("page missing"); }
  void OnLoggerLost(const std::string& why) override { lines.push_back("lost: " + why); }
  void OnLoggerBack(const zv::LoggerIdentity& id) override {
    lines.push_back("back: " + std::to_string(id.version) + " " + std::to_string(id.serialNumber) + " " + id.deviceName);
  }
  void OnOperationEnded(const zv::OperationEnd& end) override {
    lines.push_back(std::string(OperationName(end.operation)) + ": " + ResultName(end.result) + " \"" + end.text + "\"");
    ends.push_back(end);
  }
  void Clear() {
    lines.clear();
    measurements.clear();
    ends.clear();
  }

  std::vector<std::string> lines;
  std::vector<zv::Measurement> measurements;
  std::vector<zv::OperationEnd> ends;
};

}  // namespace ztest
