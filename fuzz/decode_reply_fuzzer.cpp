// libFuzzer target: arbitrary bytes through COrvikDlg::DecodeReply in every state the decoder
// reads. The first bytes of an input set the state, the rest is the received frame:
//
//   [0]      mode bits
//              bit 0     page mode (m_bReceiveData 1, else 0)
//              bit 1     recording (m_bRecording 1, else 0)
//              bits 2-3  language: 0, 1, 2 or -1
//              bit 4     files refuse every write (/dev/full instead of /dev/null)
//              bit 5     seal: the frame's last two bytes become the CRC the window checks,
//                        so that mutated bodies reach the decoders behind the CRC check
//   [1]      device version: 0, 8, 10, 110, 120, 210, or (any other value) the word in [2..3]
//   [2..3]   the other device version, high byte first
//   [4..5]   the device's shunt millivolts (0 with version 10 has no scale at all)
//   [6..7]   the device's shunt amperes
//   [8..9]   the nominal voltage
//   [10..11] the memory address the page mode shows its progress at
//   [12..]   the frame, as the reply wait leaves it in m_rxFrame
//
// The window is built once per process on a view that keeps nothing, and every member the
// decoder reads or writes is put back before each input, so one input decodes the same way
// whatever ran before it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/orvik_dlg.h"
#include "framework/environment.h"
#include "framework/view.h"
#include "framework/winapp.h"
#include "link/crc16.h"
#include "platform/clock.h"
#include "platform/output_file.h"
#include "platform/port_table.h"
#include "platform/scripted_port.h"

namespace {

// A screen that shows nothing and remembers nothing: a fuzzing run decodes millions of
// replies, and a view that kept their texts would grow without end. Boxes get their default
// button, file dialogs are cancelled.
class NullView final : public zfw::IView {
 public:
  void Show(const zfw::DialogTemplate&, const std::vector<zfw::ControlState>&, HICON, zfw::InputSink) override {}
  void Hide() override {}
  int MessageBox(const zfw::MessageBoxRequest& request) override {
    if ((request.type & MB_TYPEMASK) == MB_OKCANCEL) return (request.type & MB_DEFBUTTON2) != 0 ? IDCANCEL : IDOK;
    return IDOK;
  }
  std::optional<std::string> FileDialog(const zfw::FileDialogRequest&) override { return std::nullopt; }
  void OnControlChanged(const zfw::ControlState&) override {}
  void OnFocusChanged(int) override {}
  void OnSelectAll(int) override {}
};

// What the decoder may change, as the window had it right after it was built.
struct Baseline {
  CString dateTime, current, voltage, capacity, power, status, deviceName, deviceInfo;
  CString recordLine, dumpLine;
  int recordLineLen = 0, dumpLineLen = 0;
  int serialNumber = 0, configWord = 0, eventBits = 0, eventRecord = 0, pollPeriodMs = 0;
  float recordPeriod = 0.0f;
  UINT shuntMillivolts = 0, shuntAmps = 0;

  void Take(const COrvikDlg& d) {
    dateTime = d.m_strDateTime;
    current = d.m_strCurrent;
    voltage = d.m_strVoltage;
    capacity = d.m_strCapacity;
    power = d.m_strPower;
    status = d.m_strStatus;
    deviceName = d.m_strDeviceName;
    deviceInfo = d.m_strDeviceInfo;
    recordLine = d.m_strRecordLine;
    dumpLine = d.m_strDumpLine;
    recordLineLen = d.m_nRecordLineLen;
    dumpLineLen = d.m_nDumpLineLen;
    serialNumber = d.m_nSerialNumber;
    configWord = d.m_nConfigWord;
    eventBits = d.m_nEventBits;
    eventRecord = d.m_bEventRecord;
    pollPeriodMs = d.m_nPollPeriodMs;
    recordPeriod = d.m_fRecordPeriod;
    shuntMillivolts = d.m_nShuntMillivolts;
    shuntAmps = d.m_nShuntAmps;
  }
  void Restore(COrvikDlg& d) const {
    d.m_strDateTime = dateTime;
    d.m_strCurrent = current;
    d.m_strVoltage = voltage;
    d.m_strCapacity = capacity;
    d.m_strPower = power;
    d.m_strStatus = status;
    d.m_strDeviceName = deviceName;
    d.m_strDeviceInfo = deviceInfo;
    d.m_strRecordLine = recordLine;
    d.m_strDumpLine = dumpLine;
    d.m_nRecordLineLen = recordLineLen;
    d.m_nDumpLineLen = dumpLineLen;
    d.m_nSerialNumber = serialNumber;
    d.m_nConfigWord = configWord;
    d.m_nEventBits = eventBits;
    d.m_bEventRecord = eventRecord;
    d.m_nPollPeriodMs = pollPeriodMs;
    d.m_fRecordPeriod = recordPeriod;
    d.m_nShuntMillivolts = shuntMillivolts;
    d.m_nShuntAmps = shuntAmps;
  }
};

// The files the page mode and the recording write their rows to: one on /dev/null and one on
// /dev/full (which refuses every write) for each, opened once and lent to the window for one
// input. A file the code under test closed (after a failed write) is opened again.
class Sinks {
 public:
  std::unique_ptr<zv::OutputFile> Lend(bool forDump, bool refuseWrites) {
    auto& slot = slots_[forDump ? 1 : 0][refuseWrites ? 1 : 0];
    if (!slot) slot = Open(refuseWrites);
    return std::move(slot);
  }
  // Takes a lent file back, if the window still has it.
  void Return(std::unique_ptr<zv::OutputFile> file, bool forDump, bool refuseWrites) {
    if (file) slots_[forDump ? 1 : 0][refuseWrites ? 1 : 0] = std::move(file);
  }

 private:
  static std::unique_ptr<zv::OutputFile> Open(bool refuseWrites) {
    std::string why;
    auto file = zv::OutputFile::Create(refuseWrites ? "/dev/full" : "/dev/null", why);
    if (!file) {
      std::fprintf(stderr, "decode_reply_fuzzer: %s\n", why.c_str());
      std::abort();
    }
    return file;
  }
  std::unique_ptr<zv::OutputFile> slots_[2][2];
};

struct Harness {
  CWinApp app{"zentrova-fuzz"};
  NullView view;
  zv::VirtualClock clock;
  zv::ScriptedSerialBackend ports;
  zv::FixedPortTable table;
  std::unique_ptr<COrvikDlg> dlg;
  Baseline baseline;
  Sinks sinks;

  Harness() {
    zfw::SetEnvironment(zfw::Environment{&view, &clock});
    dlg = std::make_unique<COrvikDlg>(PortAccess{&ports, &table, {}});
    if (!dlg->Create()) {
      std::fprintf(stderr, "decode_reply_fuzzer: the window could not be built\n");
      std::abort();
    }
    baseline.Take(*dlg);
  }
};

Harness& TheHarness() {
  static Harness* harness = new Harness();  // lives as long as the process
  return *harness;
}

unsigned Word(const uint8_t* data, std::size_t at) { return static_cast<unsigned>(data[at] << 8 | data[at + 1]); }

constexpr std::size_t kHeaderBytes = 12;
constexpr int kVersions[] = {0, 8, 10, 110, 120, 210};
constexpr int kLanguages[] = {0, 1, 2, -1};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheHarness();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return -1;  // not worth keeping in the corpus
  Harness& h = TheHarness();
  COrvikDlg& d = *h.dlg;

  const uint8_t mode = data[0];
  const bool pageMode = (mode & 0x01) != 0;
  const bool recording = (mode & 0x02) != 0;
  const int language = kLanguages[(mode >> 2) & 0x03];
  const bool refuseWrites = (mode & 0x10) != 0;
  const bool seal = (mode & 0x20) != 0;
  const uint8_t versionPick = data[1];
  const int version = versionPick < std::size(kVersions) ? kVersions[versionPick] : static_cast<int>(Word(data, 2));

  h.baseline.Restore(d);
  d.m_nDeviceVersion = version;
  d.m_nDevShuntMv = Word(data, 4);
  d.m_nDevShuntA = Word(data, 6);
  d.m_nNominalVoltage = Word(data, 8);
  d.m_nMemAddress = static_cast<int>(Word(data, 10));
  d.m_nLanguage = language;
  d.m_bReceiveData = pageMode ? 1 : 0;
  d.m_bRecording = recording ? 1 : 0;
  {
    std::lock_guard lock(d.m_dumpMutex);
    d.m_hDumpFile = pageMode ? h.sinks.Lend(true, refuseWrites) : nullptr;
  }
  d.m_hRecordFile = recording ? h.sinks.Lend(false, refuseWrites) : nullptr;

  std::vector<uint8_t> frame(data + kHeaderBytes, data + size);
  if (seal && frame.size() >= 4) {
    // The window's check covers the low byte of the count only, and so does the seal.
    const std::size_t covered = (frame.size() - 2) & 0xFF;
    const uint16_t crc = zv::Crc16ModbusBytes(frame.data(), covered);
    frame[frame.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
    frame[frame.size() - 1] = static_cast<uint8_t>(crc >> 8);
  }
  d.m_rxFrame.RemoveAll();
  d.m_rxFrame.Append(frame.data(), frame.size());

  try {
    d.DecodeReply();
  } catch (const std::exception& e) {
    // The message loop would show this in a box; no reply should ever get it there.
    std::fprintf(stderr, "decode_reply_fuzzer: DecodeReply let an exception out: %s\n", e.what());
    std::abort();
  }

  // The next input starts from a window with no files and no timers of this one.
  {
    std::lock_guard lock(d.m_dumpMutex);
    h.sinks.Return(std::move(d.m_hDumpFile), true, refuseWrites);
  }
  h.sinks.Return(std::move(d.m_hRecordFile), false, refuseWrites);
  d.KillTimer(COrvikDlg::kTimerLivePoll);
  d.KillTimer(COrvikDlg::kTimerRecordPoll);
  d.KillTimer(COrvikDlg::kTimerDownload);
  return 0;
}
