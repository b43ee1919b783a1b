// The Win32 serial backend against the simulated logger, run under wine: zentrova-sim serves a
// pseudo-terminal that the wine prefix maps to a COM port (tests/windows/with_logger.sh). The
// port's name comes in ZENTROVA_TEST_PORT; without it only the tests that need no logger run.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/crc16.h"
#include "platform/serial_port.h"
#include "platform/win32_error.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string LoggerPort() {
  const char* name = std::getenv("ZENTROVA_TEST_PORT");
  return name != nullptr ? name : "";
}

#define NEEDS_LOGGER()                                                        \
  if (LoggerPort().empty()) GTEST_SKIP() << "ZENTROVA_TEST_PORT is not set"; \
  static_assert(true)

// Reads until count bytes have come or a second has passed without any.
Bytes ReadReply(zv::ISerialPort& port, std::size_t count) {
  Bytes reply;
  auto lastByte = std::chrono::steady_clock::now();
  while (reply.size() < count && std::chrono::steady_clock::now() - lastByte < std::chrono::seconds(1)) {
    zv::QueueStatus status;
    EXPECT_TRUE(port.QueryStatus(status).ok());
    if (status.inQueue == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    Bytes chunk(status.inQueue);
    std::size_t read = 0;
    EXPECT_TRUE(port.Read(chunk.data(), chunk.size(), read).ok());
    reply.insert(reply.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(read));
    lastByte = std::chrono::steady_clock::now();
  }
  return reply;
}

void Send(zv::ISerialPort& port, const Bytes& request) {
  std::size_t written = 0;
  const zv::PortError e = port.Write(request.data(), request.size(), written);
  ASSERT_TRUE(e.ok()) << e.message;
  ASSERT_EQ(written, request.size());
}

std::unique_ptr<zv::ISerialPort> OpenLogger(zv::ISerialBackend& backend) {
  std::unique_ptr<zv::ISerialPort> port;
  const zv::PortError e = backend.Open(LoggerPort(), port);
  EXPECT_TRUE(e.ok()) << e.message;
  return port;
}

// The program's line: 921600 baud, 8 data bits, binary, DTR and RTS on.
zv::LineSettings DeviceLine(const zv::LineSettings& current) {
  zv::LineSettings s = current;
  s.baudRate = 921600;
  s.byteSize = 8;
  s.binary = true;
  s.dtrControl = zv::LineControl::kEnable;
  s.rtsControl = zv::LineControl::kEnable;
  return s;
}

TEST(Win32Serial, OpensAndTakesTheDevicesLine) {
  NEEDS_LOGGER();
  auto backend = zv::MakeWin32SerialBackend();
  auto port = OpenLogger(*backend);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->Name(), LoggerPort()) << "the name as given, without the device namespace";
  zv::LineSettings current;
  ASSERT_TRUE(port->GetSettings(current).ok());
  zv::LineSettings wanted = DeviceLine(current);
  wanted.parity = zv::Parity::kNone;
  wanted.stopBits = zv::StopBits::kOne;
  const zv::PortError set = port->SetSettings(wanted);
  ASSERT_TRUE(set.ok()) << "a port without modem lines is not an error: " << set.message;
  zv::LineSettings back;
  ASSERT_TRUE(port->GetSettings(back).ok());
  EXPECT_EQ(back.baudRate, 921600u);
  EXPECT_EQ(back.byteSize, 8);
  EXPECT_EQ(back.parity, zv::Parity::kNone);
  EXPECT_EQ(back.stopBits, zv::StopBits::kOne);
  EXPECT_TRUE(back.binary);
  EXPECT_EQ(back.dtrControl, zv::LineControl::kEnable);
  EXPECT_EQ(back.rtsControl, zv::LineControl::kEnable);
}

TEST(Win32Serial, AMeasurementExchange) {
  NEEDS_LOGGER();
  auto backend = zv::MakeWin32SerialBackend();
  auto port = OpenLogger(*backend);
  ASSERT_NE(port, nullptr);
  zv::LineSettings current;
  ASSERT_TRUE(port->GetSettings(current).ok());
  ASSERT_TRUE(port->SetSettings(DeviceLine(current)).ok());

  Send(*port, {0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06});
  const Bytes reply = ReadReply(*port, 39);
  ASSERT_EQ(reply.size(), 39u);
  EXPECT_EQ(reply[0], 0x01);
  EXPECT_EQ(reply[1], 0x04);
  EXPECT_EQ(reply[2], 34) << "17 registers";
  const uint16_t crc = zv::Crc16ModbusBytes(reply.data(), 37);
  EXPECT_EQ(reply[37], crc & 0xFF);
  EXPECT_EQ(reply[38], crc >> 8);
}

TEST(Win32Serial, AWholeMemoryPageThoughTheDriverCountsAtMost4095) {
  NEEDS_LOGGER();
  auto backend = zv::MakeWin32SerialBackend();
  auto port = OpenLogger(*backend);
  ASSERT_NE(port, nullptr);
  Send(*port, {0x01, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xB0, 0x4A});
  // The page arrives in one piece: wait until it is all there, then count it as the program does.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  zv::QueueStatus status;
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 4096u);
  Bytes page(4096);
  std::size_t read = 0;
  ASSERT_TRUE(port->Read(page.data(), page.size(), read).ok());
  EXPECT_EQ(read, 4096u);
  ASSERT_TRUE(port->QueryStatus(status).ok());
  EXPECT_EQ(status.inQueue, 0u);
}

TEST(Win32Serial, AWaitIsWokenByTheReplyAndRunsOutItsTimeOnSilence) {
  NEEDS_LOGGER();
  auto backend = zv::MakeWin32SerialBackend();
  auto port = OpenLogger(*backend);
  ASSERT_NE(port, nullptr);
  zv::LineSettings current;
  ASSERT_TRUE(port->GetSettings(current).ok());
  ASSERT_TRUE(port->SetSettings(DeviceLine(current)).ok());

  const auto t0 = std::chrono::steady_clock::now();
  uint32_t waiting = 99;
  ASSERT_TRUE(port->WaitForInput(0, 50, waiting).ok());
  EXPECT_EQ(waiting, 0u) << "nothing asked, nothing comes";
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50));

  Send(*port, {0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06});
  const auto asked = std::chrono::steady_clock::now();
  uint32_t count = 0;
  for (int i = 0; i < 100 && count < 39; ++i) {
    ASSERT_TRUE(port->WaitForInput(count, 5000, waiting).ok());
    ASSERT_GT(waiting, count) << "woken by bytes";
    count = waiting;
  }
  EXPECT_EQ(count, 39u);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(5000)) << "woken, not timed out";
  EXPECT_EQ(ReadReply(*port, 39).size(), 39u) << "the wait reads nothing itself";
}

TEST(Win32Serial, APortAlreadyOpenInThisProgramIsBusyUntilClosed) {
  NEEDS_LOGGER();
  auto backend = zv::MakeWin32SerialBackend();
  auto first = OpenLogger(*backend);
  ASSERT_NE(first, nullptr);
  std::unique_ptr<zv::ISerialPort> second;
  const zv::PortError e = backend->Open(LoggerPort(), second);
  EXPECT_EQ(e.kind, zv::PortErrorKind::kBusy) << e.message;
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(e.message.rfind("open " + LoggerPort() + ": ", 0), 0u) << e.message;
  first.reset();
  EXPECT_TRUE(backend->Open(LoggerPort(), second).ok());
}

// The port held by another process: this test program run again with --hold-port, which
// opens the port, says so through a named event, and keeps it until told to let go.
constexpr char kHeldEvent[] = "Local\\zentrova-test-port-held";
constexpr char kReleaseEvent[] = "Local\\zentrova-test-port-release";

int HoldPort(const std::string& name) {
  auto backend = zv::MakeWin32SerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  if (!backend->Open(name, port).ok()) return 1;
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  SetEvent(held);
  WaitForSingleObject(release, 30000);
  CloseHandle(held);
  CloseHandle(release);
  return 0;
}

TEST(Win32Serial, APortAnotherProgramHoldsIsBusy) {
  NEEDS_LOGGER();
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kReleaseEvent);
  ResetEvent(held);
  ResetEvent(release);
  char self[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  std::string command = "\"" + std::string(self) + "\" --hold-port " + LoggerPort();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
  ASSERT_EQ(WaitForSingleObject(held, 20000), WAIT_OBJECT_0) << "the other program did not open the port";

  auto backend = zv::MakeWin32SerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  const zv::PortError e = backend->Open(LoggerPort(), port);
  EXPECT_EQ(e.kind, zv::PortErrorKind::kBusy) << e.message;
  EXPECT_EQ(port, nullptr);

  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  CloseHandle(held);
  CloseHandle(release);
  EXPECT_TRUE(backend->Open(LoggerPort(), port).ok()) << "free again once the other program has gone";
}

TEST(Win32Serial, PortsThatDoNotOpen) {
  struct Case {
    const char* name;
    zv::PortErrorKind kind;
  };
  const Case cases[] = {
      {"COM250", zv::PortErrorKind::kNotFound},
      {"\\\\.\\COM251", zv::PortErrorKind::kNotFound},
      {"", zv::PortErrorKind::kInvalidArgument},
  };
  auto backend = zv::MakeWin32SerialBackend();
  for (const Case& c : cases) {
    std::unique_ptr<zv::ISerialPort> port;
    const zv::PortError e = backend->Open(c.name, port);
    EXPECT_EQ(e.kind, c.kind) << c.name << ": " << e.message;
    EXPECT_EQ(port, nullptr) << c.name;
    EXPECT_FALSE(e.message.empty());
  }
}

TEST(Win32Serial, AFileIsNotASerialPort) {
  char folder[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string path = std::string(folder) + "zentrova-not-a-port.txt";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  auto backend = zv::MakeWin32SerialBackend();
  std::unique_ptr<zv::ISerialPort> port;
  const zv::PortError e = backend->Open(path, port);
  EXPECT_EQ(e.kind, zv::PortErrorKind::kInvalidArgument) << e.message;
  EXPECT_NE(e.message.find("not a serial port"), std::string::npos) << e.message;
  DeleteFileA(path.c_str());
}

TEST(Win32Error, KindsAndTheSystemsText) {
  struct Case {
    unsigned long code;
    const char* operation;
    zv::PortErrorKind kind;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, "open", zv::PortErrorKind::kNotFound},
      {ERROR_PATH_NOT_FOUND, "open", zv::PortErrorKind::kNotFound},
      {ERROR_ACCESS_DENIED, "open", zv::PortErrorKind::kBusy},
      {ERROR_SHARING_VIOLATION, "open", zv::PortErrorKind::kBusy},
      {ERROR_ACCESS_DENIED, "ReadFile", zv::PortErrorKind::kHangUp},
      {ERROR_BAD_COMMAND, "ClearCommError", zv::PortErrorKind::kHangUp},
      {ERROR_DEVICE_REMOVED, "ReadFile", zv::PortErrorKind::kHangUp},
      {ERROR_OPERATION_ABORTED, "ReadFile", zv::PortErrorKind::kHangUp},
      {ERROR_FILE_NOT_FOUND, "ReadFile", zv::PortErrorKind::kNotFound},
      {ERROR_NOT_SUPPORTED, "EscapeCommFunction DTR", zv::PortErrorKind::kNotSupported},
      {ERROR_INVALID_PARAMETER, "SetCommState", zv::PortErrorKind::kInvalidArgument},
      {ERROR_INVALID_HANDLE, "ReadFile", zv::PortErrorKind::kClosed},
      {ERROR_GEN_FAILURE, "WriteFile", zv::PortErrorKind::kHangUp},
      {ERROR_CRC, "ReadFile", zv::PortErrorKind::kIo},
  };
  for (const Case& c : cases) {
    const zv::PortError e = zv::ErrorFromWin32(c.code, c.operation, "COM3");
    EXPECT_EQ(e.kind, c.kind) << c.code << " " << c.operation;
    EXPECT_EQ(e.code, static_cast<int>(c.code));
    const std::string prefix = std::string(c.operation) + " COM3: ";
    EXPECT_EQ(e.message.rfind(prefix, 0), 0u) << e.message;
    EXPECT_GT(e.message.size(), prefix.size()) << "the system's text follows";
    EXPECT_NE(e.message.back(), '\n');
  }
  // Windows and wine word it differently; both end without the full stop and line break.
  const std::string text = zv::Win32ErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_NE(text.find("not f"), std::string::npos) << text;  // "cannot find", "not found"
  EXPECT_NE(text.back(), '.');
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--hold-port") return HoldPort(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
