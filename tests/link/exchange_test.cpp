// Opening the port and collecting replies, against scripted ports in virtual time.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "dialog/resource.h"
#include "support/dialog_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Reply(std::size_t size) {
  Bytes b(size);
  std::iota(b.begin(), b.end(), uint8_t{1});
  return b;
}

class Exchange : public ztest::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    device = ports.AddDevice("/dev/ttyLOGGER");
    SelectPort("/dev/ttyLOGGER");
  }
  // Opens the port and sends the measurement request, as a live poll does.
  void Send() {
    dlg->OpenPort();
    ASSERT_TRUE(dlg->m_hPort);
    dlg->BuildMeasurementRequest();
    dlg->SendFrame(dlg->m_txFrame);
  }
  std::shared_ptr<zv::ScriptedDevice> device;
};

TEST_F(Exchange, OpenConfiguresTheLine) {
  dlg->OpenPort();
  ASSERT_TRUE(dlg->m_hPort);
  const zv::LineSettings s = device->Settings();
  EXPECT_EQ(s.baudRate, 921600u);
  EXPECT_EQ(s.byteSize, 8);
  EXPECT_TRUE(s.binary);
  EXPECT_EQ(s.dtrControl, zv::LineControl::kEnable);
  EXPECT_EQ(s.rtsControl, zv::LineControl::kEnable);
  dlg->ClosePort();
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(Exchange, AReplyIsReadOnceItsCountHasStoodStillForOneInterval) {
  device->QueueReply({Reply(39), {}});
  Send();
  EXPECT_EQ(device->Written().back(), (Bytes{0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06}));
  const uint64_t sleptBefore = clock.SleptMs();
  ASSERT_TRUE(dlg->WaitReply(wait_variants::kLivePoll));
  // Seen at the first look, and read only after one poll interval (the delay and a tick)
  // brought nothing more.
  EXPECT_EQ(clock.SleptMs() - sleptBefore, 6u);
  EXPECT_EQ(dlg->m_rxFrame.Bytes(), Reply(39));
  EXPECT_FALSE(dlg->PortHungUp());
}

TEST_F(Exchange, AGrowingReplyIsReadWhenTwoPollsAgree) {
  for (const WaitVariant& v : {wait_variants::kConfigRead, wait_variants::kLivePoll, wait_variants::kConfigWrite,
                               wait_variants::kClockWrite, wait_variants::kPageRequest}) {
    device->QueueReply({Reply(39), {10, 25, 39, 39}});
    Send();
    ASSERT_TRUE(dlg->WaitReply(v));
    EXPECT_EQ(dlg->m_rxFrame.GetSize(), 39);
    dlg->ClosePort();
  }
}

TEST_F(Exchange, BytesArrivingAfterTheCountAreLeftForLater) {
  // Two bursts further apart than an interval: the wait takes the first and the second
  // stays in the port.
  device->QueueReply({Reply(20), {}, {{0, 5}, {20, 20}}});
  Send();
  ASSERT_TRUE(dlg->WaitReply(wait_variants::kLivePoll));
  EXPECT_EQ(dlg->m_rxFrame.GetSize(), 5);
  clock.Advance(20);
  EXPECT_EQ(dlg->QueryInQueue(), 15);
}

// A reply in pieces, timed on the window's clock: pieces closer than one poll interval make
// one reply, read one interval after the last; a later piece is left out.
struct PiecesCase {
  const char* name;
  WaitVariant variant;
  std::vector<zv::ScriptedArrival> timed;
  int bytes;       // read by the wait
  uint64_t endMs;  // when the wait ended, from the request
};

class RepliesInPieces : public Exchange, public ::testing::WithParamInterface<PiecesCase> {};

TEST_P(RepliesInPieces, AreReadOneIntervalAfterTheLastPiece) {
  const PiecesCase& c = GetParam();
  device->QueueReply({Reply(39), {}, c.timed});
  Send();
  const uint64_t sleptBefore = clock.SleptMs();
  ASSERT_TRUE(dlg->WaitReply(c.variant));
  EXPECT_EQ(dlg->m_rxFrame.GetSize(), c.bytes);
  EXPECT_EQ(clock.SleptMs() - sleptBefore, c.endMs);
  EXPECT_EQ(dlg->m_nInQueue, c.bytes);
  EXPECT_EQ(dlg->m_nPrevInQueue, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RepliesInPieces,
    ::testing::Values(PiecesCase{"three_pieces", wait_variants::kLivePoll, {{0, 10}, {3, 25}, {8, 39}}, 39, 14},
                      PiecesCase{"piece_at_the_end_of_the_interval", wait_variants::kLivePoll, {{0, 10}, {6, 39}}, 39, 12},
                      PiecesCase{"piece_one_ms_too_late", wait_variants::kLivePoll, {{0, 10}, {7, 39}}, 10, 6},
                      PiecesCase{"first_byte_late", wait_variants::kLivePoll, {{100, 39}}, 39, 106},
                      PiecesCase{"tail_after_a_quiet_interval", wait_variants::kConfigRead, {{0, 30}, {16, 39}}, 30, 6},
                      PiecesCase{"clock_write_in_pieces", wait_variants::kClockWrite, {{0, 4}, {5, 39}}, 39, 11}),
    [](const auto& info) { return std::string(info.param.name); });

// A device that goes away under the open port ends the wait at once, whatever the variant's
// limit, and the window can tell it from a silence.
struct HangUpCase {
  const char* name;
  WaitVariant variant;
  std::vector<zv::ScriptedArrival> timed;  // what came before the loss
  uint32_t lossMs;
};

class HangUpDuringTheWait : public Exchange, public ::testing::WithParamInterface<HangUpCase> {};

TEST_P(HangUpDuringTheWait, EndsItAtOnceAsAFailure) {
  const HangUpCase& c = GetParam();
  device->QueueReply({Reply(39), {}, c.timed});
  Send();
  device->HangUp(c.lossMs);
  const uint64_t sleptBefore = clock.SleptMs();
  EXPECT_FALSE(dlg->WaitReply(c.variant));
  EXPECT_EQ(clock.SleptMs() - sleptBefore, c.lossMs);
  EXPECT_TRUE(dlg->PortHungUp());
  EXPECT_EQ(dlg->m_lastWaitError.kind, zv::PortErrorKind::kHangUp);
  EXPECT_FALSE(dlg->m_lastWaitError.message.empty());
  EXPECT_TRUE(dlg->m_rxFrame.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HangUpDuringTheWait,
    ::testing::Values(HangUpCase{"at_once", wait_variants::kLivePoll, {{1000, 39}}, 0},
                      HangUpCase{"while_silent", wait_variants::kLivePoll, {{1000, 39}}, 50},
                      HangUpCase{"inside_a_reply", wait_variants::kConfigWrite, {{0, 10}}, 3},
                      HangUpCase{"clock_write", wait_variants::kClockWrite, {{1000, 39}}, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Exchange, TheNextWaitForgetsAnEarlierHangUp) {
  Send();
  device->HangUp();
  EXPECT_FALSE(dlg->WaitReply(wait_variants::kLivePoll));
  ASSERT_TRUE(dlg->PortHungUp());
  dlg->ClosePort();
  device->PlugIn();
  device->QueueReply({Reply(39), {}});
  Send();
  ASSERT_TRUE(dlg->WaitReply(wait_variants::kLivePoll));
  EXPECT_FALSE(dlg->PortHungUp());
}

TEST_F(Exchange, ASilentDeviceIsGivenUpAfterExactlyTheLimit) {
  struct Case {
    const char* name;
    WaitVariant variant;
    int polls;
  };
  for (const Case& c : {Case{"configuration read", wait_variants::kConfigRead, 200},
                        Case{"live poll", wait_variants::kLivePoll, 2000},
                        Case{"configuration write", wait_variants::kConfigWrite, 2000},
                        Case{"clock write", wait_variants::kClockWrite, 100},
                        Case{"page request", wait_variants::kPageRequest, 1000}}) {
    SCOPED_TRACE(c.name);
    dlg->m_rxFrame.Add(0x55);  // whatever an earlier exchange left
    Send();
    const uint64_t sleptBefore = clock.SleptMs();
    EXPECT_FALSE(dlg->WaitReply(c.variant));
    EXPECT_TRUE(dlg->m_rxFrame.IsEmpty());
    EXPECT_FALSE(dlg->PortHungUp()) << "a silence is not a loss";
    // Each poll interval lasts until the tick count has passed the end of its delay.
    EXPECT_EQ(clock.SleptMs() - sleptBefore, static_cast<uint64_t>(c.polls) * (c.variant.delayMs + 1));
    dlg->ClosePort();
  }
}

TEST_F(Exchange, GrowingPollsCountOnlyWhereTheVariantSaysSo) {
  // A reply that keeps growing for 150 polls, then settles.
  std::vector<std::size_t> arrival;
  for (std::size_t i = 1; i <= 150; ++i) arrival.push_back(i);
  for (const WaitVariant& v : {wait_variants::kConfigRead, wait_variants::kClockWrite, wait_variants::kConfigWrite}) {
    device->QueueReply({Reply(150), arrival});
    Send();
    const bool got = dlg->WaitReply(v);
    if (v.countChanged && v.limit < 150) {
      EXPECT_FALSE(got) << "each growing poll used up one of the " << v.limit;
      EXPECT_EQ(device->PollCount(), v.limit);
    } else {
      EXPECT_TRUE(got);
      EXPECT_EQ(dlg->m_rxFrame.GetSize(), 150);
    }
    dlg->ClosePort();
  }
}

TEST_F(Exchange, WithThePortClosedEveryPollFindsNothing) {
  EXPECT_FALSE(dlg->m_hPort);
  EXPECT_FALSE(dlg->WaitReply(wait_variants::kClockWrite));
  EXPECT_EQ(dlg->QueryInQueue(), 0);
}

TEST_F(Exchange, DelayNearTheTickCounterWrapEndsAtOnce) {
  clock.SetTick(0xFFFFFFFEu);
  const uint64_t before = clock.SleptMs();
  dlg->DelayMs(5);
  EXPECT_EQ(clock.SleptMs(), before);
  clock.SetTick(0xFFFFFFF0u);
  dlg->DelayMs(0xF);  // ends exactly at the counter's maximum: must still end
  EXPECT_LE(clock.SleptMs() - before, 16u);
  clock.SetTick(100);
  dlg->DelayMs(5);
  EXPECT_EQ(clock.TickCount(), 106u);
}

// ---- opening failures -------------------------------------------------------------------

struct OpenFailure {
  const char* name;
  int language;
  bool select;       // a port is selected
  bool exists;       // the port exists
  bool held;         // another open holds it
  const char* text;  // the box
};

class OpenPortFailure : public ztest::DialogFixture, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenPortFailure, ShowsItsBoxAndLeavesThePortClosed) {
  const OpenFailure& c = GetParam();
  std::unique_ptr<zv::ISerialPort> holder;
  if (c.exists) {
    ports.AddDevice("/dev/ttyLOGGER");
    if (c.held) {
      ASSERT_TRUE(ports.Open("/dev/ttyLOGGER", holder).ok());
    }
  }
  if (c.select) SelectPort("/dev/ttyLOGGER");
  dlg->m_nLanguage = c.language;
  dlg->SetTimer(1, 300);

  dlg->OpenPort();

  EXPECT_FALSE(dlg->m_hPort);
  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, c.text);
  EXPECT_EQ(boxes[0].caption, "Error!");
  EXPECT_EQ(boxes[0].type, 0x30u);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0) << "the list is back on \"no\"";
  EXPECT_EQ(Control(IDC_PORT).text, "no");
  EXPECT_EQ(TimerArmed(1), !c.select) << "a failed open stops the live poll";
  // The exchange that follows finds nothing waiting and ends on its timeout path.
  EXPECT_FALSE(dlg->WaitReply(wait_variants::kClockWrite));
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenPortFailure,
    ::testing::Values(OpenFailure{"NoPortRu", 0, false, true, false, "Не выбран порт"},
                      OpenFailure{"NoPortEn", 1, false, true, false, "No port selected"},
                      OpenFailure{"MissingRu", 0, true, false, false, "Ошибка открытия порта"},
                      OpenFailure{"MissingEn", 1, true, false, false, "Error opening port"},
                      OpenFailure{"HeldRu", 0, true, true, true, "Ошибка открытия порта"},
                      OpenFailure{"HeldEn", 1, true, true, true, "Error opening port"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Exchange, NoSelectionAtAllCountsAsNoPort) {
  dlg->m_portCombo.SetCurSel(-1);
  dlg->OpenPort();
  ASSERT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Не выбран порт");
}

}  // namespace

namespace {

// The common order of an exchange, with the live poll's texts.
class CommonOrder : public Exchange {
 protected:
  bool Poll() {
    return dlg->RunExchange(zv::Operation::kPoll, &COrvikDlg::BuildMeasurementRequest, wait_variants::kLivePoll,
                            &exchange_texts::kRequestPoll, exchange_texts::kNoData);
  }
};

TEST_F(CommonOrder, AReplyIsLeftInTheFrameAndThePortClosed) {
  device->QueueReply({Reply(39), {}});
  dlg->m_nLanguage = 1;
  ASSERT_TRUE(Poll());
  EXPECT_EQ(dlg->m_rxFrame.GetSize(), 39);
  EXPECT_FALSE(dlg->m_hPort);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(view.TextHistory(IDC_STATUS), (std::vector<std::string>{" ", "Request "}));
}

TEST_F(CommonOrder, NoReplyShowsTheTimeoutTextAfterTheOpeningOne) {
  ASSERT_FALSE(Poll());
  EXPECT_EQ(view.TextHistory(IDC_STATUS), (std::vector<std::string>{" ", "Запрос", "Нет данных"}));
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(device->Written().size(), 1u);
}

TEST_F(CommonOrder, AFailedOpenIsFollowedByTheTimeoutText) {
  dlg->m_nLanguage = 1;
  device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "busy"});
  ASSERT_FALSE(Poll());
  ASSERT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Error opening port");
  EXPECT_EQ(Text(IDC_STATUS), "No data ");
  EXPECT_TRUE(device->Written().empty());
}

TEST_F(Exchange, ADeniedOpenTellsHowToGetAccess) {
  struct Case {
    zv::PortError error;
    std::string why;
  };
  const Case cases[] = {
      {{zv::PortErrorKind::kPermissionDenied, 13, "open /dev/ttyLOGGER: Permission denied"},
       "open /dev/ttyLOGGER: Permission denied; to get access, join the dialout group "
       "(sudo usermod -aG dialout \"$USER\") and log out and in again"},
      {{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: Device or resource busy"},
       "open /dev/ttyLOGGER: Device or resource busy"},
      {{zv::PortErrorKind::kNotFound, 2, "open /dev/ttyLOGGER: No such file or directory"},
       "open /dev/ttyLOGGER: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error.message);
    device->FailOpen(c.error);
    std::string why;
    EXPECT_FALSE(dlg->OpenPortHandle("/dev/ttyLOGGER", why));
    EXPECT_EQ(why, c.why);
  }
}

TEST_F(Exchange, TheWindowPrintsTheAccessHintOnStandardError) {
  dlg->m_nLanguage = 1;
  device->FailOpen(zv::PortError{zv::PortErrorKind::kPermissionDenied, 13, "open /dev/ttyLOGGER: Permission denied"});
  ::testing::internal::CaptureStderr();
  dlg->OpenPort();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err,
            "zentrova: open /dev/ttyLOGGER: Permission denied; to get access, join the dialout group "
            "(sudo usermod -aG dialout \"$USER\") and log out and in again\n");
  ASSERT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(view.MessageBoxes()[0].text, "Error opening port");
}

}  // namespace
