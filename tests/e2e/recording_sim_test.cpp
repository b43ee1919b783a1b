// Recording the live readings end to end: the window on its thread and the simulated logger
// behind a pseudo-terminal, answering every poll with the same registers, so that every row
// of the file is known in advance.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <optional>
#include <thread>
#include <string>

#include "support/expected_dump.h"
#include "support/simulated_logger_window.h"

namespace {

using ztest::WindowOnThread;

// Version 110 (50 mV / 300 A forced: L = 50, H = 300): every channel different, signs mixed,
// |I_300_RMS| below 1000 so the low range is shown: 12.34 A, 24 V, 296.16 W, -3.14 Ah.
zv::sim::MeasurementRegisters Registers() {
  zv::sim::MeasurementRegisters r{};
  r[0] = 100;                           // I_50_DC
  r[1] = static_cast<uint16_t>(-50);    // I_50_AC
  r[2] = 1234;                          // I_50_RMS
  r[3] = 2000;                          // I_300_DC
  r[4] = static_cast<uint16_t>(-1);     // I_300_AC
  r[5] = 999;                           // I_300_RMS
  r[6] = 5000;                          // voltage
  r[7] = 0xFFFF;                        // charge -314, high word
  r[8] = static_cast<uint16_t>(-314);   // and low word
  r[11] = 9500;                         // milliseconds in the minute
  r[12] = 14 << 8 | 5;                  // 14:05
  r[13] = 3 << 8 | 7;                   // 7 March
  r[14] = 15;                           // 2015
  return r;
}

const std::string kRow = "07_03_2015 14:05:9,50 \t1,00 \t-0,50 \t12,34 \t120,00 \t-0,06 \t59,94 \t24,00 \t296,16 \t-3,14\r\n";
const std::string kHeader =
    "Zentrova-24 N00123\r\n\r\n"
    "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\r\n";

class SimulatedRecording : public ztest::SimulatedLoggerWindow {
 protected:
  void StartAndPick(std::optional<zv::sim::HotPlugOptions> hotPlug = std::nullopt) {
    zv::sim::ServerOptions options;
    options.device.config.version = 110;
    options.device.fixedRegisters = Registers();
    if (hotPlug) OnALink(options, folder, *hotPlug);
    Start(options);
  }
  void Pick(const char* accepted) {
    window.Pick(LoggerEntry());
    ASSERT_TRUE(window.WaitForText(IDC_STATUS, accepted));
  }
  void PressRecord(const std::string& name) {
    window.view.QueueFileDialogAnswer((folder / name).string());
    window.Click(IDC_RECORD);
  }
  std::size_t Rows() const {
    const std::string text = ztest::ReadWhole(file);
    return text.size() <= kHeader.size() ? 0 : (text.size() - kHeader.size()) / kRow.size();
  }
  std::string Times(std::size_t n) const {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kRow;
    return s;
  }
  // Released, with the live poll back and answered.
  void ExpectLivePollBack(const char* caption, const char* accepted) {
    EXPECT_TRUE(window.WaitForText(IDC_RECORD, caption));
    EXPECT_EQ(Check(IDC_RECORD), 0);
    EXPECT_TRUE(LivePollArmedAt(300));
    EXPECT_FALSE(Timer(COrvikDlg::kTimerRecordPoll));
    const std::size_t shown = StatusCount();
    EXPECT_TRUE(WindowOnThread::WaitFor([&] { return StatusShowedSince(shown, accepted); }));
  }

  const std::filesystem::path file = folder / "rec ( Zentrova-24 N00123 ).txt";
};

TEST_F(SimulatedRecording, WritesARowForEveryPollUntilStopped) {
  StartAndPick();
  Pick("Данные приняты");

  PressRecord("rec.txt");

  ASSERT_TRUE(window.WaitForText(IDC_RECORD, "Стоп"));
  const auto dialogs = window.view.FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].defaultExt, "txt");
  EXPECT_EQ(dialogs[0].flags, 0x806u);
  EXPECT_EQ(dialogs[0].filter, "Text File (*.txt)|*.txt|;All Files (*.*)|*.*||");
  EXPECT_EQ(Timer(COrvikDlg::kTimerRecordPoll), 200u);
  EXPECT_FALSE(Timer(COrvikDlg::kTimerLivePoll));
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Rows() >= 3; }));

  window.Click(IDC_RECORD);

  ExpectLivePollBack("Старт", "Данные приняты");
  EXPECT_FALSE(ztest::OpenInThisProcess(file));
  EXPECT_FALSE(StillGrowing(file));
  const std::size_t rows = Rows();
  EXPECT_GE(rows, 3u);
  EXPECT_EQ(ztest::ReadWhole(file), kHeader + Times(rows));
  EXPECT_TRUE(window.view.MessageBoxes().empty());
}

TEST_F(SimulatedRecording, AFileThatCannotBeCreatedIsToldAndTheLivePollGoesOn) {
  StartAndPick();
  English();
  Pick("Data accepted");

  PressRecord("gone/rec.txt");

  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return !window.view.MessageBoxes().empty(); }));
  const auto box = window.view.MessageBoxes()[0];
  EXPECT_EQ(box.text.rfind("Cannot create the file:\r\n", 0), 0u) << box.text;
  ExpectLivePollBack("Start recording", "Data accepted");
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST_F(SimulatedRecording, AnExistingFileIsReplacedOnlyAfterAYes) {
  StartAndPick();
  Pick("Данные приняты");
  ztest::WriteWhole(file, "an earlier recording\r\n");

  PressRecord("rec.txt");  // the question's default: Cancel

  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return window.view.MessageBoxes().size() == 1; }));
  ExpectLivePollBack("Старт", "Данные приняты");
  EXPECT_EQ(ztest::ReadWhole(file), "an earlier recording\r\n");

  window.view.QueueMessageBoxAnswer(IDOK);
  PressRecord("rec.txt");

  ASSERT_TRUE(window.WaitForText(IDC_RECORD, "Стоп"));
  EXPECT_EQ(window.view.MessageBoxes().size(), 2u);
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Rows() >= 2; }));
  const std::string text = ztest::ReadWhole(file);
  EXPECT_EQ(text.substr(0, kHeader.size() + 2 * kRow.size()), kHeader + Times(2));
}

// ---- the cable pulled and plugged back during a recording ------------------------------------

TEST_F(SimulatedRecording, GoesOnIntoTheSameFileWhenTheSameLoggerIsBack) {
  StartAndPick(zv::sim::HotPlugOptions{});
  ObserveEvents();
  Pick("Данные приняты");
  PressRecord("rec.txt");
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Rows() >= 3; }));

  ASSERT_TRUE(server->Unplug());
  ExpectTheLossShown("Ошибка открытия порта", "Регистратор отключён, ожидание…");
  const std::size_t before = Rows();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(Rows(), before) << "nothing recorded while the logger is away";
  EXPECT_EQ(Check(IDC_RECORD), 1);

  ASSERT_TRUE(server->Replug());
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Rows() >= before + 3; }));
  EXPECT_FALSE(Timer(COrvikDlg::kTimerLivePoll)) << "only the recording's poll";
  window.Click(IDC_RECORD);
  ExpectLivePollBack("Старт", "Данные приняты");

  // One row for every poll answered while recording, before the gap and after it.
  const std::size_t rows = Rows();
  EXPECT_EQ(ztest::ReadWhole(file), kHeader + Times(rows));
  EXPECT_EQ(EventsStartingWith("row"), rows);
  EXPECT_EQ(EventsStartingWith("lost: "), 1u);
  EXPECT_EQ(EventsStartingWith("back: 110 123 "), 1u);
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_EQ(EventsStartingWith("recording: done"), 1u);
}

TEST_F(SimulatedRecording, AnotherLoggerOnTheWayBackStopsItWithNothingOfItInTheFile) {
  zv::sim::HotPlugOptions another;
  another.replugSerial = 777;
  StartAndPick(another);
  ObserveEvents();
  Pick("Данные приняты");
  PressRecord("rec.txt");
  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Rows() >= 3; }));

  ASSERT_TRUE(server->Unplug());
  ExpectTheLossShown("Ошибка открытия порта", "Регистратор отключён, ожидание…");
  const std::string before = ztest::ReadWhole(file);
  ASSERT_TRUE(server->Replug());

  ASSERT_TRUE(WindowOnThread::WaitFor([&] { return Boxes() == 2; }));
  EXPECT_EQ(window.view.MessageBoxes()[1].text, "Подключён другой регистратор: запись остановлена");
  ExpectLivePollBack("Старт", "Данные приняты");
  EXPECT_FALSE(ztest::OpenInThisProcess(file));
  EXPECT_EQ(ztest::ReadWhole(file), before);
  EXPECT_EQ(EventsStartingWith("recording: another logger"), 1u);
  EXPECT_EQ(EventsStartingWith("back: "), 0u);
}

}  // namespace
