// The device link end to end: the main window's port open, send and reply wait over a real
// pseudo-terminal, against the simulated logger, in real time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dialog/orvik_dlg.h"
#include "framework/environment.h"
#include "framework/headless_view.h"
#include "framework/winapp.h"
#include "link/crc16.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/pty_server.h"

namespace {

class LinkToSimulatedLogger : public ::testing::Test {
 protected:
  void StartLogger(zv::sim::ServerOptions options) {
    options.device.frozen = zv::sim::FrozenBattery{12.5, 25.2, -3.25};
    server = std::make_unique<zv::sim::SimServer>(options);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    zfw::SetEnvironment(zfw::Environment{&view, &clock});
    dlg = std::make_unique<COrvikDlg>(PortAccess{serial.get(), &noPorts, {}});
    ASSERT_TRUE(dlg->Create());
    const int index = dlg->m_portCombo.AddString(server->PortName().c_str());
    dlg->m_portCombo.SetCurSel(index);
    dlg->m_strPortName = server->PortName().c_str();
    dlg->m_pszPortName = dlg->m_strPortName.GetString();
  }
  void TearDown() override {
    dlg.reset();
    if (server) server->Stop();
    zfw::SetEnvironment(zfw::Environment{});
  }
  // One exchange as the window runs it: open, send, wait, close.
  bool Exchange(void (COrvikDlg::*build)(), const WaitVariant& variant) {
    dlg->OpenPort();
    EXPECT_TRUE(dlg->m_hPort) << "open " << server->PortName();
    (dlg.get()->*build)();
    dlg->SendFrame(dlg->m_txFrame);
    const bool got = dlg->WaitReply(variant);
    dlg->ClosePort();
    return got;
  }
  bool CrcValid() const {
    const auto& rx = dlg->m_rxFrame.Bytes();
    if (rx.size() < 4) return false;
    const uint16_t crc = zv::Crc16ModbusBytes(rx.data(), rx.size() - 2);
    return rx[rx.size() - 2] == (crc & 0xFF) && rx[rx.size() - 1] == (crc >> 8);
  }

  CWinApp app{"zentrova"};
  zfw::HeadlessView view;
  zv::SteadyClock clock;
  std::unique_ptr<zv::ISerialBackend> serial = zv::MakePosixSerialBackend();
  zv::FixedPortTable noPorts;
  std::unique_ptr<zv::sim::SimServer> server;
  std::unique_ptr<COrvikDlg> dlg;
};

TEST_F(LinkToSimulatedLogger, MeasurementReplyCarriesTheRegistersTheLoggerMeant) {
  StartLogger({});
  ASSERT_TRUE(Exchange(&COrvikDlg::BuildMeasurementRequest, wait_variants::kLivePoll));
  const auto& rx = dlg->m_rxFrame.Bytes();
  ASSERT_EQ(rx.size(), 39u);
  EXPECT_EQ(rx[1], 0x04);
  EXPECT_TRUE(CrcValid());
  const auto registers = server->Device().Measurement();
  for (std::size_t i = 0; i < registers.size(); ++i) {
    if (i >= 11) break;  // the clock registers move on between the two reads
    EXPECT_EQ(rx[3 + 2 * i] << 8 | rx[4 + 2 * i], registers[i]) << "register " << i;
  }
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_F(LinkToSimulatedLogger, ConfigurationWriteIsStoredAndReadBack) {
  StartLogger({});
  dlg->m_nConfigWord = 0x1000 | 250;
  dlg->m_nShuntMillivolts = 75;
  dlg->m_nShuntAmps = 500;
  ASSERT_TRUE(Exchange(&COrvikDlg::BuildConfigWrite, wait_variants::kConfigWrite));
  EXPECT_EQ(dlg->m_rxFrame.GetAt(1), 0x65);
  ASSERT_TRUE(Exchange(&COrvikDlg::BuildConfigRequest, wait_variants::kConfigRead));
  ASSERT_TRUE(CrcValid());
  EXPECT_EQ(dlg->m_rxFrame.GetAt(1), 0x64);
  EXPECT_EQ(dlg->m_rxFrame.GetAt(13) << 8 | dlg->m_rxFrame.GetAt(14), 0x1000 | 250);
}

TEST_F(LinkToSimulatedLogger, APortOpenedAndClosedForEveryExchangeKeepsAnswering) {
  StartLogger({});
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(Exchange(&COrvikDlg::BuildMeasurementRequest, wait_variants::kLivePoll)) << "exchange " << i;
    ASSERT_EQ(dlg->m_rxFrame.GetSize(), 39) << "exchange " << i;
  }
}

// A page is larger than a pseudo-terminal's own input buffer. It is sent in one write: whether
// a reply paced over 44 ms survives the poll rule depends on the machine's scheduling, and the
// rule itself is tested against a scripted port.
TEST_F(LinkToSimulatedLogger, APageArrivesWhole) {
  StartLogger({});
  dlg->m_nMemAddress = 0x10;
  ASSERT_TRUE(Exchange(&COrvikDlg::BuildPageRequest, wait_variants::kPageRequest));
  EXPECT_EQ(dlg->m_rxFrame.Bytes(), server->Device().Page(0x10));
  EXPECT_EQ(dlg->m_rxFrame.GetSize(), 4096);
}

TEST_F(LinkToSimulatedLogger, ALoggerThatAnswersOnlyAtRegister5IgnoresTheFirstClockWrite) {
  zv::sim::ServerOptions options;
  options.device.clockRegister5Only = true;
  StartLogger(options);
  dlg->m_nClockYear = 24;
  dlg->m_nClockMonth = 3;
  dlg->m_nClockDay = 15;
  dlg->m_nClockHour = 10;
  dlg->m_nClockMinute = 20;
  dlg->m_nClockSecond = 30;
  dlg->OpenPort();
  dlg->BuildClockWrite(11);
  dlg->SendFrame(dlg->m_txFrame);
  EXPECT_FALSE(dlg->WaitReply(wait_variants::kClockWrite));
  dlg->BuildClockWrite(5);
  dlg->SendFrame(dlg->m_txFrame);
  EXPECT_TRUE(dlg->WaitReply(wait_variants::kClockWrite));
  EXPECT_EQ(dlg->m_rxFrame.GetAt(1), 0x10);
  dlg->ClosePort();
  const zv::LocalTime t = server->Device().Time();
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.hour, 10);
}

TEST_F(LinkToSimulatedLogger, ASilentLoggerEndsTheWaitOnItsLimit) {
  zv::sim::ServerOptions options;
  options.device.faults.silent = true;
  StartLogger(options);
  EXPECT_FALSE(Exchange(&COrvikDlg::BuildConfigRequest, wait_variants::kConfigRead));
  EXPECT_TRUE(dlg->m_rxFrame.IsEmpty());
}

}  // namespace
