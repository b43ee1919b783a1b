// Erase data: the confirmation, the erase command, the erase wait of timer 3 with its
// progress bar, and the other exchanges kept off the port while the wait holds it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;
using Strings = std::vector<std::string>;

constexpr COLORREF kBlue = 0x00FF0000;

struct ConfirmCase {
  const char* name;
  int language;
  const char* text;
  const char* caption;
};

class EraseConfirmation : public ztest::LoggerFixture, public ::testing::WithParamInterface<ConfirmCase> {};

TEST_P(EraseConfirmation, RefusedByDefaultSendsNothingAndResumesTheLivePoll) {
  const ConfirmCase& c = GetParam();
  if (c.language == 1) English();
  Answering();
  SelectPort(kPort);
  dlg->m_nPollPeriodMs = 450;

  Click(IDC_ERASE);  // no answer queued: the box's default button, Cancel

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, c.text);
  EXPECT_EQ(boxes[0].caption, c.caption);
  EXPECT_EQ(boxes[0].type, 0x131u);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
  EXPECT_FALSE(TimerArmed(3));
}

INSTANTIATE_TEST_SUITE_P(
    Table, EraseConfirmation,
    ::testing::Values(ConfirmCase{"Ru", 0, "Все СОХРАННЕНЫЕ ДАННЫЕ \r\nбудут СТЁРТЫ!!!", "ВНИМАНИЕ!!!"},
                      ConfirmCase{"En", 1, "All SAVED DATA \r\nthere are ERASED !!!", "ATTENTION!!!"}),
    [](const auto& info) { return std::string(info.param.name); });

class Erase : public ztest::LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    dlg->m_nPollPeriodMs = 450;
    SelectPort(kPort);
  }
  void Confirm() {
    view.QueueMessageBoxAnswer(IDOK);
    Click(IDC_ERASE);
  }
  void ExpectEnded(const std::string& status) {
    EXPECT_EQ(Text(IDC_STATUS), status);
    EXPECT_EQ(Control(IDC_PROGRESS).barColor, CLR_DEFAULT);
    EXPECT_EQ(Control(IDC_PROGRESS).pos, 0);
    EXPECT_FALSE(device->IsOpen());
    EXPECT_FALSE(dlg->m_hPort);
    EXPECT_FALSE(TimerArmed(3));
    EXPECT_EQ(dlg->Loop().TimerPeriod(1), 450u);
  }
};

TEST_F(Erase, WithNoPortAsksNothingAndLeavesTheLivePollStopped) {
  dlg->m_portCombo.SetCurSel(0);
  dlg->SetTimer(1, 450);
  Click(IDC_ERASE);
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_TRUE(device->Written().empty());
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_FALSE(TimerArmed(3));
}

struct WaitCase {
  const char* name;
  int language;
  const char* waiting;
  const char* done;
};

class EraseWait : public Erase, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(EraseWait, TheAcknowledgementIsReadAtTheSecondTick) {
  const WaitCase& c = GetParam();
  if (c.language == 1) English();
  Answering();
  dlg->SetTimer(1, 450);

  Confirm();

  EXPECT_EQ(device->Written(), std::vector<Bytes>{ztest::kEraseCommand});
  EXPECT_TRUE(device->IsOpen()) << "the port stays open for the wait";
  EXPECT_FALSE(TimerArmed(1));
  EXPECT_EQ(dlg->Loop().TimerPeriod(3), 500u);
  EXPECT_EQ(dlg->m_strStatus.str(), "Стирание данных памяти") << "in either language";

  dlg->Loop().RunFor(500);  // tick 1 sees the reply waiting
  const Strings history = StatusHistory();
  ASSERT_GE(history.size(), 2u);
  EXPECT_EQ(Strings(history.end() - 2, history.end()), (Strings{"Стирание данных памяти", c.waiting}));
  EXPECT_EQ(Control(IDC_PROGRESS).barColor, kBlue);
  EXPECT_EQ(Control(IDC_PROGRESS).rangeLow, 0);
  EXPECT_EQ(Control(IDC_PROGRESS).rangeHigh, 120);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 1);
  EXPECT_TRUE(device->IsOpen());

  dlg->Loop().RunFor(500);  // tick 2 sees the same count and reads it
  ExpectEnded(c.done);
  EXPECT_EQ(StatusHistory().back(), c.done);
  EXPECT_EQ(device->Written().size(), 1u);
  EXPECT_EQ(device->OpenCount(), 1);
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, EraseWait,
                         ::testing::Values(WaitCase{"Ru", 0, "НЕ ОТКЛЮЧАЙТЕ USB !!!", "Успешно"},
                                           WaitCase{"En", 1, "DO NOT DISCONNECT USB !!!", "Successfully"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Erase, AnEraseThatNeverAnswersEndsAtTick300) {
  English();
  Confirm();
  dlg->Loop().RunFor(299 * 500);
  EXPECT_EQ(Text(IDC_STATUS), "DO NOT DISCONNECT USB !!!");
  EXPECT_TRUE(device->IsOpen());
  EXPECT_TRUE(TimerArmed(3));
  EXPECT_EQ(Control(IDC_PROGRESS).barColor, kBlue);

  dlg->Loop().RunFor(500);
  ExpectEnded("Receive error");
  EXPECT_EQ(device->Written().size(), 1u);
}

struct FailedOpenCase {
  const char* name;
  int language;
  const char* box;
  const char* ended;
};

class EraseWithoutPort : public Erase, public ::testing::WithParamInterface<FailedOpenCase> {};

TEST_P(EraseWithoutPort, RunsNoWaitAndEndsOnTheReceiveError) {
  const FailedOpenCase& c = GetParam();
  if (c.language == 1) English();
  device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: busy"});

  Confirm();

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u) << "the confirmation and the failed open";
  EXPECT_EQ(boxes[1].text, c.box);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_FALSE(TimerArmed(3)) << "no wait for an erase that was never sent";
  EXPECT_FALSE(dlg->m_bEraseWaiting);
  ExpectEnded(c.ended);

  // Nothing shows a wait afterwards, for as long as one would have lasted.
  for (int tick : {1, 2, 299, 300, 301}) {
    dlg->Loop().RunFor(500 * (tick == 299 ? 297 : 1));
    EXPECT_EQ(Control(IDC_PROGRESS).barColor, CLR_DEFAULT) << "tick " << tick;
    EXPECT_EQ(Control(IDC_PROGRESS).pos, 0) << "tick " << tick;
  }
  for (const std::string& text : StatusHistory()) EXPECT_EQ(text.find("USB"), std::string::npos) << text;
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, EraseWithoutPort,
                         ::testing::Values(FailedOpenCase{"Ru", 0, "Ошибка открытия порта", "Ошибка приема"},
                                           FailedOpenCase{"En", 1, "Error opening port", "Receive error"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Erase, WhileTheWaitHoldsThePortEveryOtherExchangeStaysOff) {
  English();
  Answering();
  Confirm();
  ASSERT_TRUE(dlg->m_hPort);
  const zv::ISerialPort* erasePort = dlg->m_hPort.get();

  // Before the wait's first tick: both polls tick, and the person tries everything else.
  dlg->SetTimer(1, 300);
  dlg->SetTimer(2, 200);
  dlg->Loop().RunFor(450);
  Click(IDC_SET_CONFIG);
  Click(IDC_SYNC_CLOCK);
  Pick(kPort);

  EXPECT_EQ(device->Written(), std::vector<Bytes>{ztest::kEraseCommand});
  EXPECT_EQ(device->OpenCount(), 1);
  EXPECT_TRUE(device->IsOpen());
  EXPECT_EQ(dlg->m_hPort.get(), erasePort);
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
  EXPECT_EQ(Text(IDC_STATUS), "Стирание данных памяти") << "nothing else has shown a text";
  EXPECT_TRUE(TimerArmed(3));

  // The wait goes on undisturbed and reads its acknowledgement at t = 1000 ms.
  dlg->Loop().KillTimer(2);
  dlg->Loop().RunFor(600);
  ExpectEnded("Successfully");
  EXPECT_EQ(device->Written().size(), 1u);
}

struct BusyTextCase {
  const char* name;
  int language;
  const char* busy;
  const char* done;
};

class ErasePortKept : public Erase, public ::testing::WithParamInterface<BusyTextCase> {};

TEST_P(ErasePortKept, WhenAnotherPortIsPickedDuringTheWait) {
  const BusyTextCase& c = GetParam();
  if (c.language == 1) English();
  Answering();
  auto other = ports.AddDevice("/dev/ttyOTHER");
  const int loggerEntry = Control(IDC_PORT).curSel;
  Confirm();

  Pick("/dev/ttyOTHER");

  EXPECT_EQ(Control(IDC_PORT).curSel, loggerEntry);
  EXPECT_EQ(Text(IDC_STATUS), c.busy);
  EXPECT_EQ(dlg->m_strPortName.str(), kPort);
  EXPECT_EQ(other->OpenCount(), 0);
  dlg->Loop().RunFor(1000);
  ExpectEnded(c.done);
  dlg->Loop().RunFor(450);
  EXPECT_EQ(device->Written().back(), ztest::kMeasurementRequest) << "the live poll asks the erased logger";
  EXPECT_EQ(other->OpenCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ErasePortKept,
                         ::testing::Values(BusyTextCase{"Ru", 0, "Порт занят стиранием памяти", "Успешно"},
                                           BusyTextCase{"En", 1, "The port is busy erasing the memory", "Successfully"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Erase, ASecondEraseDuringTheWaitAsksNothingAndSendsNothing) {
  Answering();
  Confirm();
  const zv::ISerialPort* erasePort = dlg->m_hPort.get();
  view.QueueMessageBoxAnswer(IDOK);  // were a box shown, it would be confirmed

  Click(IDC_ERASE);

  EXPECT_EQ(view.MessageBoxes().size(), 1u) << "only the first erase asked";
  EXPECT_EQ(device->Written(), std::vector<Bytes>{ztest::kEraseCommand});
  EXPECT_EQ(dlg->m_hPort.get(), erasePort);
  EXPECT_TRUE(device->IsOpen());
  dlg->Loop().RunFor(1000);
  ExpectEnded("Успешно");
}

TEST_F(Erase, AnOpenThatFailsMeanwhileLeavesTheErasesPortAlone) {
  English();
  Answering();
  Confirm();
  const zv::ISerialPort* erasePort = dlg->m_hPort.get();

  dlg->OpenPort();  // the logger's port is held: this open fails

  ASSERT_EQ(view.MessageBoxes().size(), 2u);
  EXPECT_EQ(view.MessageBoxes()[1].text, "Error opening port");
  EXPECT_EQ(dlg->m_hPort.get(), erasePort);
  EXPECT_TRUE(device->IsOpen());
}

}  // namespace
