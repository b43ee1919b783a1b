// Recording the live readings: the record toggle, its file and captions, a row per decoded
// measurement reply whichever timer asked for it, and the files that cannot be made or
// written; against a scripted logger in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/event_log.h"
#include "support/expected_dump.h"
#include "support/file_size_limit.h"
#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;

// Version 8 with 50 mV / 300 A: L = 50, H = 300. Every channel different, signs mixed.
const ztest::Measurement kReadings{.i50Dc = 100, .i50Ac = -50, .i50Rms = 1234, .i300Dc = 2000, .i300Ac = -1,
                                   .i300Rms = 999, .voltage = 5000, .charge = -314, .milliseconds = 9500,
                                   .hour = 14, .minute = 5, .month = 3, .day = 7, .year = 15};
// |I_300_RMS| below 1000 shows the low range: 12.34 A, so 296.16 W at 24 V.
const std::string kRow = "07_03_2015 14:05:9,50 \t1,00 \t-0,50 \t12,34 \t120,00 \t-0,06 \t59,94 \t24,00 \t296,16 \t-3,14\r\n";
const std::string kColumns =
    "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\r\n";
const std::string kHeader = "Zentrova-24 N00123\r\n\r\n" + kColumns;

constexpr char kFilter[] = "Text File (*.txt)|*.txt|;All Files (*.*)|*.*||";

std::string Times(const std::string& row, std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += row;
  return s;
}

class Recording : public ztest::LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    ASSERT_FALSE(folder.Path().empty());
    Answering(ztest::kLoggerConfig, kReadings);
  }
  void Language(int language) {
    if (language == 1) English();
  }
  // Presses the record toggle with a name picked in the save dialog (none: cancelled).
  void PressRecord(std::optional<std::string> name) {
    if (name) view.QueueFileDialogAnswer((folder / *name).string());
    Click(IDC_RECORD);
  }
  std::size_t MeasurementRequests() const {
    const auto written = device->Written();
    return static_cast<std::size_t>(std::count(written.begin(), written.end(), ztest::kMeasurementRequest));
  }
  std::optional<UINT> Timer(UINT_PTR id) const { return dlg->Loop().TimerPeriod(id); }
  void ExpectNotRecording(const char* caption) {
    EXPECT_EQ(Text(IDC_RECORD), caption);
    EXPECT_EQ(Control(IDC_RECORD).check, 0);
    EXPECT_FALSE(Timer(2));
    EXPECT_EQ(Timer(1), 300u);
    EXPECT_EQ(dlg->m_nPollPeriodMs, 300);
    EXPECT_FALSE(dlg->m_hRecordFile);
  }

  ztest::ScratchFolder folder;
  const std::filesystem::path file = folder / "rec ( Zentrova-24 N00123 ).txt";
};

struct CaptionCase {
  const char* name;
  int language;
  const char* stop;
  const char* start;
};

const CaptionCase kCaptions[] = {{"Ru", 0, "Стоп", "Старт"}, {"En", 1, "Stop recording", "Start recording"}};

class RecordToggle : public Recording, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(RecordToggle, StartsWithTheFileAndItsHeaderWritesARowPerReplyAndStops) {
  Language(GetParam().language);
  Pick(kPort);
  dlg->m_nPollPeriodMs = 450;  // the stop restarts the live poll at 300 ms whatever it was

  PressRecord("rec.txt");

  const auto dialogs = view.FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_FALSE(dialogs[0].open);
  EXPECT_EQ(dialogs[0].defaultExt, "txt");
  EXPECT_EQ(dialogs[0].fileName, "");
  EXPECT_EQ(dialogs[0].flags, 0x806u);
  EXPECT_EQ(dialogs[0].filter, kFilter);
  EXPECT_EQ(ztest::ReadWhole(file), kHeader);
  EXPECT_EQ(Text(IDC_RECORD), GetParam().stop);
  EXPECT_EQ(Control(IDC_RECORD).check, 1);
  EXPECT_FALSE(Timer(1));
  EXPECT_EQ(Timer(2), 200u);

  const std::size_t before = MeasurementRequests();
  dlg->Loop().RunFor(1000);
  const std::size_t rows = MeasurementRequests() - before;
  EXPECT_GE(rows, 2u);
  EXPECT_EQ(ztest::ReadWhole(file), kHeader + Times(kRow, rows));

  Click(IDC_RECORD);

  ExpectNotRecording(GetParam().start);
  EXPECT_FALSE(ztest::OpenInThisProcess(file));
  dlg->Loop().RunFor(1000);
  EXPECT_GT(MeasurementRequests() - before, rows) << "the live poll goes on";
  EXPECT_EQ(ztest::ReadWhole(file), kHeader + Times(kRow, rows)) << "and writes no more rows";
  EXPECT_TRUE(view.MessageBoxes().empty());
}

TEST_P(RecordToggle, ACancelledFileChoiceLeavesItReleased) {
  Language(GetParam().language);
  Pick(kPort);
  dlg->m_nPollPeriodMs = 450;

  PressRecord(std::nullopt);

  ExpectNotRecording(GetParam().start);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_TRUE(view.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, RecordToggle, ::testing::ValuesIn(kCaptions),
                         [](const auto& info) { return std::string(info.param.name); });

// A negative polling period reads as a huge unsigned one: the poll waits the longest period
// a timer has, instead of polling back to back.
TEST_F(Recording, ANegativePollingPeriodDoesNotPollBackToBack) {
  Pick(kPort);
  Type(IDC_POLL_PERIOD, "-200");
  PressRecord("rec.txt");
  EXPECT_EQ(Timer(2), 0x7FFFFFFFu);
  dlg->Loop().KillTimer(1);
  const std::size_t before = MeasurementRequests();

  dlg->Loop().RunFor(10'000);

  EXPECT_EQ(MeasurementRequests(), before);
  EXPECT_TRUE(ztest::ReadWhole(file) == kHeader) << "rows were written";
}

TEST_F(Recording, EveryDecodedMeasurementWritesARowWhicheverTimerAskedForIt) {
  Pick(kPort);
  PressRecord("rec.txt");
  const std::size_t before = MeasurementRequests();
  dlg->Loop().RunFor(200);
  ASSERT_EQ(MeasurementRequests() - before, 1u);

  // Set configuration ends by restarting the live poll: both polls now ask, and both rows
  // count. Its own reply, and a reply that fails its check, write nothing.
  Click(IDC_SET_CONFIG);
  ASSERT_EQ(Timer(1), 300u);
  ASSERT_EQ(Timer(2), 200u);
  device->QueueReply({ztest::CrcSwapped(ztest::MeasurementReply(kReadings)), {}});
  dlg->Loop().RunFor(1200);

  const std::size_t replies = MeasurementRequests() - before - 1;  // but the one with the bad CRC
  EXPECT_GE(replies, 6u);
  EXPECT_EQ(ztest::ReadWhole(file), kHeader + Times(kRow, replies));
}

TEST_F(Recording, BeforeAnyConfigurationTheNameIsEmptyInTheFileNameAndItsFirstLine) {
  SelectPort(kPort);
  PressRecord("test.txt");
  dlg->Loop().RunFor(200);

  // The start-up scale, 50 mV / 300 A, reads these registers as version 8 does.
  EXPECT_EQ(ztest::ReadWhole(folder / "test (  ).txt"), "\r\n\r\n" + kColumns + kRow);
}

struct FailureTextCase {
  const char* name;
  int language;
  const char* lead;
  const char* start;
};

class UncreatableRecordingFile : public Recording, public ::testing::WithParamInterface<FailureTextCase> {};

TEST_P(UncreatableRecordingFile, IsToldAndNothingRecords) {
  Language(GetParam().language);
  Pick(kPort);

  PressRecord("gone/rec.txt");

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind(std::string(GetParam().lead) + "\r\n", 0), 0u) << boxes[0].text;
  EXPECT_TRUE(ztest::SaysNoSuchFolder(boxes[0].text)) << boxes[0].text;
  ExpectNotRecording(GetParam().start);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(Table, UncreatableRecordingFile,
                         ::testing::Values(FailureTextCase{"Ru", 0, "Не удалось создать файл:", "Старт"},
                                           FailureTextCase{"En", 1, "Cannot create the file:", "Start recording"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExistingCase {
  const char* name;
  std::optional<int> answer;  // none: the question's default button
  bool replaced;
};

class ExistingRecordingFile : public Recording, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingRecordingFile, IsReplacedOnlyWhenThePersonSaysSo) {
  Pick(kPort);
  ztest::WriteWhole(file, "an earlier recording\r\n");
  if (GetParam().answer) view.QueueMessageBoxAnswer(*GetParam().answer);

  PressRecord("rec.txt");

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OKCANCEL));
  EXPECT_NE(boxes[0].type & MB_DEFBUTTON2, 0u) << "Cancel is the default";
  EXPECT_NE(boxes[0].text.find(file.string()), std::string::npos) << boxes[0].text;
  if (GetParam().replaced) {
    EXPECT_EQ(ztest::ReadWhole(file), kHeader);
    EXPECT_EQ(Text(IDC_RECORD), "Стоп");
    EXPECT_EQ(Timer(2), 200u);
  } else {
    EXPECT_EQ(ztest::ReadWhole(file), "an earlier recording\r\n");
    ExpectNotRecording("Старт");
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ExistingRecordingFile,
                         ::testing::Values(ExistingCase{"kept_by_default", std::nullopt, false},
                                           ExistingCase{"kept_on_cancel", IDCANCEL, false},
                                           ExistingCase{"replaced_on_ok", IDOK, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Recording, ARowThatCannotBeWrittenStopsTheRecordingWithAMessage) {
  if (!ztest::FileSizeLimit::kSupported) GTEST_SKIP() << "no file size limit to make a write fail here";
  Pick(kPort);
  PressRecord("rec.txt");
  {
    ztest::FileSizeLimit limit(kHeader.size() + kRow.size() + 10);
    ASSERT_TRUE(limit.Applied());
    dlg->Loop().RunFor(400);  // two rows: the second no longer fits
  }

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("Ошибка записи в файл:\r\n", 0), 0u) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("File too large"), std::string::npos) << boxes[0].text;
  ExpectNotRecording("Старт");
  EXPECT_FALSE(ztest::OpenInThisProcess(file));
  EXPECT_EQ(ztest::ReadWhole(file).rfind(kHeader + kRow, 0), 0u);
  dlg->Loop().RunFor(1000);
  EXPECT_EQ(view.MessageBoxes().size(), 1u);
}

// What the recording tells its observers: a row per row written, and its end.
enum class RecordScenario { kRecordedAndStopped, kNoFileChosen, kUncreatable, kKeptExisting, kRowRefused };

struct RecordEventCase {
  const char* name;
  RecordScenario scenario;
  int language;
  std::vector<std::string> events;  // a file error's line up to the system's reason
};

class RecordingEvents : public Recording, public ::testing::WithParamInterface<RecordEventCase> {};

TEST_P(RecordingEvents, EachRowAndTheEndAreTold) {
  const RecordEventCase& c = GetParam();
  Language(c.language);
  Pick(kPort);
  dlg->KillTimer(COrvikDlg::kTimerLivePoll);
  ztest::EventLog log;
  dlg->AddEventObserver(&log);
  switch (c.scenario) {
    case RecordScenario::kRecordedAndStopped:
      PressRecord("rec.txt");
      dlg->OnTimer(COrvikDlg::kTimerRecordPoll);
      dlg->OnTimer(COrvikDlg::kTimerRecordPoll);
      Click(IDC_RECORD);
      break;
    case RecordScenario::kNoFileChosen: PressRecord(std::nullopt); break;
    case RecordScenario::kUncreatable: PressRecord("gone/rec.txt"); break;
    case RecordScenario::kKeptExisting:
      ztest::WriteWhole(file, "an earlier recording\r\n");
      PressRecord("rec.txt");  // the question's default: keep it
      break;
    case RecordScenario::kRowRefused: {
      if (!ztest::FileSizeLimit::kSupported) GTEST_SKIP() << "no file size limit to make a write fail here";
      PressRecord("rec.txt");
      ztest::FileSizeLimit limit(kHeader.size() + kRow.size() + 10);
      ASSERT_TRUE(limit.Applied());
      dlg->OnTimer(COrvikDlg::kTimerRecordPoll);
      dlg->OnTimer(COrvikDlg::kTimerRecordPoll);
      break;
    }
  }

  // The measurements are told by the poll; here only the recording's own news counts.
  std::vector<std::string> told;
  for (const std::string& line : log.lines) {
    if (line.rfind("measurement", 0) != 0 && line.rfind("poll:", 0) != 0) told.push_back(line);
  }
  ASSERT_EQ(told.size(), c.events.size()) << ::testing::PrintToString(told);
  for (std::size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i].rfind(c.events[i], 0), 0u) << told[i];
  ASSERT_FALSE(log.ends.empty());
  if (log.ends.back().result == zv::Result::kFileError) {
    EXPECT_EQ(log.ends.back().text, view.MessageBoxes().back().text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecordingEvents,
    ::testing::Values(
        RecordEventCase{"RecordedEn", RecordScenario::kRecordedAndStopped, 1, {"row", "row", "recording: done \"Data accepted\""}},
        RecordEventCase{"RecordedRu", RecordScenario::kRecordedAndStopped, 0, {"row", "row", "recording: done \"Данные приняты\""}},
        RecordEventCase{"NoFileChosenEn", RecordScenario::kNoFileChosen, 1, {"recording: cancelled \"\""}},
        RecordEventCase{"NoFileChosenRu", RecordScenario::kNoFileChosen, 0, {"recording: cancelled \"\""}},
        RecordEventCase{"KeptExistingEn", RecordScenario::kKeptExisting, 1, {"recording: cancelled \"\""}},
        RecordEventCase{"KeptExistingRu", RecordScenario::kKeptExisting, 0, {"recording: cancelled \"\""}},
        RecordEventCase{"UncreatableEn", RecordScenario::kUncreatable, 1, {"recording: file error \"Cannot create the file:\r\n"}},
        RecordEventCase{"UncreatableRu", RecordScenario::kUncreatable, 0, {"recording: file error \"Не удалось создать файл:\r\n"}},
        RecordEventCase{"RowRefusedEn", RecordScenario::kRowRefused, 1,
                        {"row", "recording: file error \"Cannot write to the file:\r\n"}},
        RecordEventCase{"RowRefusedRu", RecordScenario::kRowRefused, 0,
                        {"row", "recording: file error \"Ошибка записи в файл:\r\n"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
