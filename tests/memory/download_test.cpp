// The memory download against a scripted logger in virtual time: the toggle and its file,
// timer 4 and the worker, the page wait, a page asked again, the end of the download, and
// the ways it stops early. The worker runs on a thread of its own as in the program; the
// test fires timer 4 itself and lets the worker run to its end before it looks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/event_log.h"
#include "support/expected_dump.h"
#include "support/file_size_limit.h"
#include "support/logger_fixture.h"

namespace {

using ztest::Bytes;
using ztest::Logged;

constexpr COLORREF kGreen = 0x0000FF00;
constexpr DWORD kSaveFlags = 0x806;  // overwrite prompt, hide read-only, path must exist
constexpr char kFilter[] = "Text File (*.txt)|*.txt|;All Files (*.*)|*.*||";

// 01 04, the address high byte first, 00 FF, the CRC worked out here.
Bytes PageRequest(int address) {
  return ztest::Sealed({0x01, 0x04, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF), 0x00, 0xFF});
}

bool IsPageRequest(const Bytes& request) {
  return request.size() == 8 && request[1] == 0x04 && request[4] == 0x00 && request[5] == 0xFF;
}

std::vector<Bytes> PageRequests(const std::vector<Bytes>& written) {
  std::vector<Bytes> pages;
  for (const Bytes& frame : written) {
    if (IsPageRequest(frame)) pages.push_back(frame);
  }
  return pages;
}

std::vector<Bytes> PageRequestsAt(std::initializer_list<int> addresses) {
  std::vector<Bytes> v;
  for (int a : addresses) v.push_back(PageRequest(a));
  return v;
}

// A record with every field worked from its slot: both signs, all three kinds of range flag,
// seconds with and without a fraction.
Logged Sample(std::size_t slot) {
  Logged r;
  r.current = static_cast<int16_t>(static_cast<int>((slot * 7919) % 20000) - 10000);
  r.voltage = static_cast<int16_t>(static_cast<int>((slot * 104729) % 30000) - 5000);
  r.charge = static_cast<int32_t>(static_cast<uint32_t>(slot * 2654435761u) >> (slot % 17));
  r.milliseconds = static_cast<uint16_t>((slot * 997) % 60000);
  r.minute = static_cast<uint8_t>(slot % 60);
  r.hour = static_cast<uint8_t>(slot % 24);
  r.day = static_cast<uint8_t>(1 + slot % 28);
  r.month = static_cast<uint8_t>(1 + slot % 12);
  r.yearByte = static_cast<uint8_t>(slot % 255);
  r.rangeFlag = static_cast<uint8_t>(slot % 3 == 0 ? 0 : slot % 256);
  return r;
}

class DownloadFixture : public ztest::LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    ASSERT_FALSE(folder.Path().empty());
    device->SetResponder([this](const Bytes& request) { return Respond(request); });
  }

  // The logger's answers: its configuration, its readings, and its memory page by page.
  zv::ScriptedReply Respond(const Bytes& request) {
    if (IsPageRequest(request)) {
      const int address = request[2] << 8 | request[3];
      int attempt = 0;
      {
        std::lock_guard lock(mu_);
        attempt = ++attempts_[address];
      }
      Bytes page = Page(address);
      if (pageReply) return pageReply(address, attempt, std::move(page));
      return {std::move(page), {}};
    }
    switch (request.at(1)) {
      case 0x64:
        return {ztest::ConfigurationReply(config), {}};
      case 0x04:
        return {ztest::MeasurementReply(ztest::kLoggerReadings), {}};
      case 0x10:
        return {ztest::Acknowledgement(static_cast<uint16_t>(request.at(2) << 8 | request.at(3)),
                                       static_cast<uint16_t>(request.at(4) << 8 | request.at(5))),
                {}};
      default:
        return {};
    }
  }

  // The 4096 bytes from an address on; slots without a record are erased (all 0xFF).
  Bytes Page(int address) const {
    Bytes page(4096, 0xFF);
    const std::size_t first = static_cast<std::size_t>(address) * 16;
    for (auto it = memory.lower_bound(first); it != memory.end() && it->first < first + 256; ++it) {
      const ztest::Record16 bytes = ztest::RecordBytes(it->second);
      std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>((it->first - first) * 16));
    }
    return page;
  }
  void Fill(std::size_t from, std::size_t to) {
    for (std::size_t slot = from; slot < to; ++slot) memory[slot] = Sample(slot);
  }
  // The rows of the records in slots [from, to), in memory order.
  std::string Rows(std::size_t from, std::size_t to, ztest::Factors f, uint32_t nominal) const {
    std::string rows;
    for (auto it = memory.lower_bound(from); it != memory.end() && it->first < to; ++it) {
      if (it->second.yearByte != 255) rows += ztest::Row(it->second, f, nominal);
    }
    return rows;
  }

  // The file a chosen name gives for the logger of `config`.
  std::filesystem::path DumpPath(const std::string& device) const { return folder / ("dump ( " + device + " ).txt"); }
  void SwitchOn() {
    view.QueueFileDialogAnswer((folder / "dump.txt").string());
    Click(IDC_RECEIVE);
  }
  // A tick of timer 4; the worker it starts runs to its end, then the window takes its news.
  void Tick() {
    dlg->OnTimer(COrvikDlg::kTimerDownload);
    WaitForTheWorker();
    dlg->Loop().ProcessPending();
  }
  void WaitForTheWorker() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (dlg->m_bWorkerActive.load() != 0) {
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "the worker never ended";
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::optional<UINT> Timer(UINT_PTR id) const { return dlg->Loop().TimerPeriod(id); }
  void ExpectLivePollBack() {
    EXPECT_EQ(Control(IDC_RECEIVE).check, 0);
    EXPECT_FALSE(Timer(4));
    EXPECT_EQ(Timer(1), 300u);
    EXPECT_EQ(dlg->m_nPollPeriodMs, 300);
  }

  ztest::ScratchFolder folder;
  ztest::Configuration config = ztest::kLoggerConfig;
  std::map<std::size_t, Logged> memory;  // the logged records by slot (16 bytes each from address 0)
  // How a page request is answered, by address and by the how-many-th request of it this is.
  std::function<zv::ScriptedReply(int address, int attempt, Bytes page)> pageReply;
  std::mutex mu_;
  std::map<int, int> attempts_;
};

// ---- a whole download --------------------------------------------------------------------------

struct FullCase {
  const char* name;
  bool readConfiguration;
  ztest::Configuration config;
  ztest::Factors factors;  // with the shunt the program works with for this version
  const char* deviceName;
  int language;
  int pages;
  Bytes lastRequest;
  bool records;
};

class FullDownload : public DownloadFixture, public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullDownload, AsksEveryPageOnceAndWritesEveryRecordInMemoryOrder) {
  const FullCase& c = GetParam();
  if (c.language == 1) English();
  config = c.config;
  const std::size_t slots = static_cast<std::size_t>(c.pages) * 256;
  if (c.records) {
    Fill(0, 300);                      // page 0 and the start of page 1
    memory[7].yearByte = 255;          // an erased slot with data in its other bytes
    Fill(slots / 2 + 5, slots / 2 + 9);  // the middle of the memory
    Fill(slots - 1, slots);             // its very last slot
  }
  if (c.readConfiguration) {
    Pick(kPort);
  } else {
    SelectPort(kPort);
  }
  const std::string dateTimeBefore = Text(IDC_DATETIME);

  SwitchOn();

  const auto dialogs = view.FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_FALSE(dialogs[0].open);
  EXPECT_EQ(dialogs[0].defaultExt, "txt");
  EXPECT_EQ(dialogs[0].fileName, "");
  EXPECT_EQ(dialogs[0].flags, kSaveFlags);
  EXPECT_EQ(dialogs[0].filter, kFilter);
  const auto path = DumpPath(c.deviceName);
  // The header is on disk before the first page is asked for.
  EXPECT_EQ(ztest::ReadWhole(path), ztest::DumpHeader(c.deviceName));
  EXPECT_TRUE(PageRequests(device->Written()).empty());
  EXPECT_EQ(Control(IDC_RECEIVE).check, 1);
  EXPECT_EQ(Timer(4), 1000u);
  EXPECT_FALSE(Timer(1));
  EXPECT_EQ(dlg->m_nPollPeriodMs, 1000);
  EXPECT_EQ(Control(IDC_PROGRESS).barColor, kGreen);
  EXPECT_EQ(Control(IDC_PROGRESS).rangeLow, 0);
  EXPECT_EQ(Control(IDC_PROGRESS).rangeHigh, c.pages);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 0);

  Tick();

  std::vector<Bytes> expected;
  for (int address = 0; address < c.pages * 16; address += 16) expected.push_back(PageRequest(address));
  const std::vector<Bytes> asked = PageRequests(device->Written());
  EXPECT_TRUE(asked == expected) << asked.size() << " page requests";
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), (Bytes{0x01, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xB0, 0x4A}));
  EXPECT_EQ(asked.back(), c.lastRequest);

  const std::string file = ztest::ReadWhole(path);
  const std::string wanted = ztest::DumpHeader(c.deviceName) + Rows(0, slots, c.factors, c.config.nominalVoltage);
  EXPECT_TRUE(file == wanted) << "the file differs from the rows worked out here (" << file.size() << " bytes, "
                              << wanted.size() << " expected)";
  EXPECT_EQ(file.find('.', ztest::DumpHeader(c.deviceName).size()), std::string::npos) << "a decimal point in a row";

  // The end: toggle released, file closed, bar reset, the live poll back at 300 ms.
  ExpectLivePollBack();
  EXPECT_FALSE(dlg->m_hDumpFile);
  EXPECT_FALSE(device->IsOpen());
  EXPECT_EQ(Control(IDC_PROGRESS).barColor, CLR_DEFAULT);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 0);
  EXPECT_EQ(Text(IDC_STATUS), c.language == 1 ? "Reading Memory 100%" : "Чтение Памяти 100%");
  if (c.records) {
    EXPECT_EQ(Text(IDC_DATETIME), ztest::Stamp(memory.rbegin()->second));
  } else {
    EXPECT_EQ(Text(IDC_DATETIME), dateTimeBefore);
  }
  EXPECT_TRUE(view.MessageBoxes().empty());
}

const Bytes kLast2048{0x01, 0x04, 0x7F, 0xF0, 0x00, 0xFF, 0xA9, 0xAD};
const Bytes kLast4096{0x01, 0x04, 0xFF, 0xF0, 0x00, 0xFF, 0x80, 0x6D};

INSTANTIATE_TEST_SUITE_P(
    Table, FullDownload,
    ::testing::Values(
        // Version 8 takes the logger's own shunt: H = 150 A, L = 75.
        FullCase{"version_8", true, {.version = 8, .serial = 17, .shuntMillivolts = 75, .shuntAmps = 150, .nominalVoltage = 24},
                 ztest::FactorsFor(8, 150, 75), "Zentrova-24 N00017", 0, 2048, kLast2048, true},
        // Version 210 takes the logger's amperes: H = 500 A, L = 25; twice the memory.
        FullCase{"version_210", true, {.version = 210, .serial = 4321, .shuntMillivolts = 75, .shuntAmps = 500, .nominalVoltage = 48},
                 ztest::FactorsFor(210, 500, 75), "Zentrova-48 N04321", 1, 4096, kLast4096, true},
        // Version 10 keeps the program's 50 mV / 300 A: H = 112, L = 11.2.
        FullCase{"version_10", true, {.version = 10, .serial = 5, .shuntMillivolts = 60, .shuntAmps = 400, .nominalVoltage = 12},
                 ztest::FactorsFor(10, 300, 50), "Zentrova-12 N00005", 1, 2048, kLast2048, true},
        // No record anywhere: a file of exactly three lines.
        FullCase{"no_record", true, {.version = 8, .serial = 17, .shuntMillivolts = 50, .shuntAmps = 300, .nominalVoltage = 24},
                 ztest::FactorsFor(8, 300, 50), "Zentrova-24 N00017", 1, 2048, kLast2048, false},
        // No configuration read: an empty device name, the program's start-up shunt and 24 V.
        FullCase{"no_configuration_read", false, {}, ztest::FactorsFor(0, 300, 50), "", 0, 2048, kLast2048, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the page wait -----------------------------------------------------------------------------

struct WaitCase {
  const char* name;
  std::size_t bytes;                       // of the first reply to page 0
  std::vector<zv::ScriptedArrival> timed;  // bytes arrived by each time after the request
  bool whole;
};

std::vector<zv::ScriptedArrival> Pieces(std::size_t step, std::size_t to, uint32_t everyMs) {
  std::vector<zv::ScriptedArrival> v;
  uint32_t at = 0;
  for (std::size_t n = step; n <= to; n += step, at += everyMs) v.push_back({at, n});
  return v;
}

class PageWait : public DownloadFixture, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(PageWait, TakesAPageOnlyWholeAndAsksAgainForOneThatIsNot) {
  const WaitCase& c = GetParam();
  English();
  Fill(0, 3);
  Fill(256, 257);  // on page 1, which never comes
  pageReply = [&c](int address, int attempt, Bytes page) -> zv::ScriptedReply {
    if (address != 0) return {};
    if (attempt > 1) return {std::move(page), {}};
    page.resize(c.bytes);
    return {std::move(page), {}, c.timed};
  };
  Pick(kPort);
  SwitchOn();
  const auto path = DumpPath("Zentrova-24 N00123");
  const ztest::Factors f = ztest::FactorsFor(8, 300, 50);
  const std::string header = ztest::DumpHeader("Zentrova-24 N00123");

  Tick();

  // Page 1 never comes, so the worker ends there in either case.
  EXPECT_EQ(PageRequests(device->Written()), c.whole ? PageRequestsAt({0x00, 0x10}) : PageRequestsAt({0x00}));
  EXPECT_EQ(dlg->m_nMemAddress, c.whole ? 0x10 : 0x00);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, c.whole ? 1 : 0);
  EXPECT_EQ(ztest::ReadWhole(path), c.whole ? header + Rows(0, 3, f, 24) : header);
  EXPECT_EQ(Text(IDC_STATUS), "No data ");
  EXPECT_FALSE(device->IsOpen()) << "the worker lets the port go when it ends";
  EXPECT_EQ(Control(IDC_RECEIVE).check, 1) << "the download stays on";
  EXPECT_EQ(Timer(4), 1000u);

  // The next tick asks for the same address again; page 0's rows are there once.
  Tick();
  EXPECT_EQ(PageRequests(device->Written()),
            c.whole ? PageRequestsAt({0x00, 0x10, 0x10}) : PageRequestsAt({0x00, 0x00, 0x10}));
  EXPECT_EQ(ztest::ReadWhole(path), header + Rows(0, 3, f, 24));
  EXPECT_EQ(dlg->m_nMemAddress, 0x10);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageWait,
    ::testing::Values(WaitCase{"all_at_once", 4096, {}, true},
                      WaitCase{"in_sixteen_pieces", 4096, Pieces(256, 4096, 1), true},
                      WaitCase{"tail_late_by_16_ms", 4096, {{0, 4000}, {16, 4096}}, true},
                      WaitCase{"half_then_999_ms_of_nothing", 4096, {{0, 2048}, {999, 4096}}, true},
                      WaitCase{"half_then_1001_ms_of_nothing", 4096, {{0, 2048}, {1001, 4096}}, false},
                      WaitCase{"nothing_for_999_ms", 4096, {{999, 4096}}, true},
                      WaitCase{"nothing_for_1001_ms", 4096, {{1001, 4096}}, false},
                      WaitCase{"one_byte_short", 4095, {}, false}, WaitCase{"half_a_page", 2048, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadFixture, AHangUpDuringAPageEndsTheWorkerAtOnce) {
  English();
  Fill(0, 3);
  Fill(256, 259);
  pageReply = [this](int address, int, Bytes page) -> zv::ScriptedReply {
    if (address == 0x10) {
      device->HangUp(5);  // unplugged 5 ms after the request, before any of the page
      return {};
    }
    return {std::move(page), {}};
  };
  Pick(kPort);
  SwitchOn();
  const uint64_t before = clock.SleptMs();

  Tick();

  EXPECT_EQ(clock.SleptMs() - before, 5u) << "the loss is not waited out as a silence";
  EXPECT_TRUE(dlg->PortHungUp());
  EXPECT_EQ(PageRequests(device->Written()), PageRequestsAt({0x00, 0x10}));
  EXPECT_EQ(dlg->m_nMemAddress, 0x10) << "the page to ask for again";
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 1);
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 256, ztest::FactorsFor(8, 300, 50), 24));
  EXPECT_EQ(Text(IDC_STATUS), "No data ");
  EXPECT_EQ(Control(IDC_RECEIVE).check, 1) << "the download stays on";
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(DownloadFixture, TheNextPageIsAskedForBeforeTheFinishedOneIsWritten) {
  Fill(0, 3);
  Fill(256, 259);
  const auto path = DumpPath("Zentrova-24 N00123");
  const std::string header = ztest::DumpHeader("Zentrova-24 N00123");
  std::vector<std::string> fileAtRequest;  // the file as each page request went out
  pageReply = [&](int address, int, Bytes page) -> zv::ScriptedReply {
    fileAtRequest.push_back(ztest::ReadWhole(path));
    if (address > 0x10) return {};
    return {std::move(page), {}};
  };
  Pick(kPort);
  SwitchOn();

  Tick();

  const ztest::Factors f = ztest::FactorsFor(8, 300, 50);
  EXPECT_EQ(fileAtRequest, (std::vector<std::string>{header, header, header + Rows(0, 256, f, 24)}))
      << "each page's rows are written while the next page comes";
  EXPECT_EQ(ztest::ReadWhole(path), header + Rows(0, 512, f, 24));
}

TEST_F(DownloadFixture, BytesLeftOverFromAPageAreDroppedBeforeTheNextRequest) {
  Fill(0, 3);
  Fill(256, 259);
  pageReply = [](int address, int, Bytes page) -> zv::ScriptedReply {
    if (address == 0x00) page.insert(page.end(), {0x01, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    if (address > 0x10) return {};
    return {std::move(page), {}};
  };
  Pick(kPort);
  SwitchOn();

  Tick();

  EXPECT_EQ(PageRequests(device->Written()), PageRequestsAt({0x00, 0x10, 0x20}));
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 512, ztest::FactorsFor(8, 300, 50), 24));
}

// ---- switching on, and what keeps the download from starting ------------------------------

struct NoPortCase {
  const char* name;
  std::optional<UINT> livePoll;
};

class NoPort : public DownloadFixture, public ::testing::WithParamInterface<NoPortCase> {};

TEST_P(NoPort, TheToggleSpringsBackAndNothingElseChanges) {
  if (GetParam().livePoll) dlg->SetTimer(1, *GetParam().livePoll);
  dlg->m_strStatus = "before";
  dlg->UpdateData(FALSE);

  Click(IDC_RECEIVE);

  EXPECT_EQ(Control(IDC_RECEIVE).check, 0);
  EXPECT_TRUE(view.FileDialogs().empty());
  EXPECT_EQ(Timer(1), GetParam().livePoll);
  EXPECT_FALSE(Timer(4));
  EXPECT_EQ(Text(IDC_STATUS), "before");
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(Table, NoPort,
                         ::testing::Values(NoPortCase{"live_poll_stopped", std::nullopt}, NoPortCase{"live_poll_at_450", 450u}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ChoiceCase {
  const char* name;
  bool chosen;                   // a name picked in the save dialog
  bool existing;                 // a file of the final name is there already
  std::optional<int> boxAnswer;  // the answer to the question; none: its default
  bool started;
};

class FileChoice : public DownloadFixture, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(FileChoice, StartsOnlyWithAFileToWriteTo) {
  const ChoiceCase& c = GetParam();
  Pick(kPort);
  const auto path = DumpPath("Zentrova-24 N00123");
  if (c.existing) ztest::WriteWhole(path, "rows of an earlier download\r\n");
  if (c.chosen) view.QueueFileDialogAnswer((folder / "dump.txt").string());
  if (c.boxAnswer) view.QueueMessageBoxAnswer(*c.boxAnswer);

  Click(IDC_RECEIVE);

  const auto boxes = view.MessageBoxes();
  if (c.existing) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_NE(boxes[0].type & MB_DEFBUTTON2, 0u) << "Cancel is the default";
    EXPECT_NE(boxes[0].text.find(path.string()), std::string::npos) << boxes[0].text;
  } else {
    EXPECT_TRUE(boxes.empty());
  }
  if (c.started) {
    EXPECT_EQ(ztest::ReadWhole(path), ztest::DumpHeader("Zentrova-24 N00123"));
    EXPECT_EQ(Control(IDC_RECEIVE).check, 1);
    EXPECT_EQ(Timer(4), 1000u);
    EXPECT_FALSE(Timer(1));
  } else {
    ExpectLivePollBack();
    EXPECT_FALSE(dlg->m_hDumpFile);
    if (c.existing) {
      EXPECT_EQ(ztest::ReadWhole(path), "rows of an earlier download\r\n");
    } else {
      EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    }
  }
  EXPECT_TRUE(PageRequests(device->Written()).empty());
}

INSTANTIATE_TEST_SUITE_P(Table, FileChoice,
                         ::testing::Values(ChoiceCase{"dialog_cancelled", false, false, std::nullopt, false},
                                           ChoiceCase{"existing_file_kept_by_default", true, true, std::nullopt, false},
                                           ChoiceCase{"existing_file_kept_on_cancel", true, true, IDCANCEL, false},
                                           ChoiceCase{"existing_file_replaced_on_ok", true, true, IDOK, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureTextCase {
  const char* name;
  int language;
  const char* lead;
};

class UncreatableDumpFile : public DownloadFixture, public ::testing::WithParamInterface<FailureTextCase> {};

TEST_P(UncreatableDumpFile, IsToldAndTheDownloadDoesNotStart) {
  if (GetParam().language == 1) English();
  Pick(kPort);
  view.QueueFileDialogAnswer((folder / "gone" / "dump.txt").string());

  Click(IDC_RECEIVE);

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind(std::string(GetParam().lead) + "\r\n", 0), 0u) << boxes[0].text;
  EXPECT_TRUE(ztest::SaysNoSuchFolder(boxes[0].text)) << boxes[0].text;
  ExpectLivePollBack();
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

INSTANTIATE_TEST_SUITE_P(Table, UncreatableDumpFile,
                         ::testing::Values(FailureTextCase{"Ru", 0, "Не удалось создать файл:"},
                                           FailureTextCase{"En", 1, "Cannot create the file:"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file of rows has one writer: neither the dump nor the recording takes a name the other
// writes, whatever the person answers about replacing it, and the first keeps its file.
struct SharedNameCase {
  const char* name;
  bool recordingFirst;
};

class OneWriterPerFile : public DownloadFixture, public ::testing::WithParamInterface<SharedNameCase> {
 protected:
  void Press(int id) {
    view.QueueFileDialogAnswer((folder / "dump.txt").string());
    view.QueueMessageBoxAnswer(IDOK);  // replace it
    Click(id);
  }
};

TEST_P(OneWriterPerFile, TheSecondCreateIsRefusedAndTheFirstWriterGoesOn) {
  const bool recordingFirst = GetParam().recordingFirst;
  English();
  Fill(0, 3);
  Pick(kPort);
  const auto path = DumpPath("Zentrova-24 N00123");
  Press(recordingFirst ? IDC_RECORD : IDC_RECEIVE);
  if (recordingFirst) dlg->Loop().RunFor(400);  // rows of its own
  const std::string before = ztest::ReadWhole(path);
  ASSERT_FALSE(before.empty());

  Press(recordingFirst ? IDC_RECEIVE : IDC_RECORD);

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u) << "the question about replacing it, then the refusal";
  EXPECT_NE(boxes[0].text.find("Replace it?"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[1].text.rfind("Cannot create the file:\r\n", 0), 0u) << boxes[1].text;
  EXPECT_NE(boxes[1].text.find("in use by another writer"), std::string::npos) << boxes[1].text;
  EXPECT_EQ(ztest::ReadWhole(path), before) << "nothing of the first writer's file is lost";
  if (recordingFirst) {
    EXPECT_EQ(Control(IDC_RECEIVE).check, 0);
    EXPECT_FALSE(Timer(4));
    EXPECT_FALSE(dlg->m_hDumpFile);
    EXPECT_EQ(Timer(2), 200u) << "the recording goes on";
    dlg->Loop().RunFor(400);
  } else {
    EXPECT_EQ(Control(IDC_RECORD).check, 0);
    EXPECT_FALSE(Timer(2));
    EXPECT_FALSE(dlg->m_hRecordFile);
    EXPECT_EQ(Timer(4), 1000u) << "the download goes on";
    Tick();
  }
  const std::string after = ztest::ReadWhole(path);
  EXPECT_GT(after.size(), before.size());
  EXPECT_EQ(after.rfind(before, 0), 0u);
  EXPECT_EQ(after.find('\0'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, OneWriterPerFile,
                         ::testing::Values(SharedNameCase{"download_into_a_recording", true},
                                           SharedNameCase{"recording_into_a_download", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadFixture, ARowThatCannotBeWrittenStopsTheDownloadWithAMessage) {
  if (!ztest::FileSizeLimit::kSupported) GTEST_SKIP() << "no file size limit to make a write fail here";
  Fill(0, 600);
  Pick(kPort);
  SwitchOn();
  const auto path = DumpPath("Zentrova-24 N00123");
  {
    ztest::FileSizeLimit limit(ztest::DumpHeader("Zentrova-24 N00123").size() + 100);
    ASSERT_TRUE(limit.Applied());
    dlg->OnTimer(COrvikDlg::kTimerDownload);
    WaitForTheWorker();
  }
  dlg->Loop().ProcessPending();

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text.rfind("Ошибка записи в файл:\r\n", 0), 0u) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("File too large"), std::string::npos) << boxes[0].text;
  // The next page was already asked for when the rows failed; nothing of it is taken.
  EXPECT_EQ(PageRequests(device->Written()), PageRequestsAt({0x00, 0x10})) << "no page after the failed one";
  EXPECT_EQ(dlg->m_nMemAddress, 0x00);
  ExpectLivePollBack();
  EXPECT_FALSE(dlg->m_hDumpFile);
  EXPECT_FALSE(ztest::OpenInThisProcess(path));
  EXPECT_FALSE(device->IsOpen());
}

TEST_F(DownloadFixture, RefusedWhileTheEraseWaitHoldsThePort) {
  Pick(kPort);
  view.QueueMessageBoxAnswer(IDOK);
  Click(IDC_ERASE);
  ASSERT_TRUE(device->IsOpen());
  ASSERT_EQ(Timer(3), 500u);

  Click(IDC_RECEIVE);

  EXPECT_EQ(Control(IDC_RECEIVE).check, 0);
  EXPECT_TRUE(view.FileDialogs().empty());
  EXPECT_FALSE(Timer(4));
  EXPECT_FALSE(Timer(1)) << "the erase wait restarts the live poll when it ends";
  EXPECT_EQ(Timer(3), 500u);
  EXPECT_TRUE(device->IsOpen()) << "the erase keeps its port";
}

// ---- the worker: its port, one at a time, switched off -------------------------------------

class WorkerPort : public DownloadFixture {
 protected:
  void SetUp() override {
    DownloadFixture::SetUp();
    English();
    Fill(0, 3);
    Pick(kPort);
    SwitchOn();
  }
  // Starts a worker and returns once it is held inside its first page request, with that
  // request in its frame; release lets the page come.
  void HoldTheWorkerAtItsFirstPage() {
    pageReply = [this](int address, int, Bytes page) -> zv::ScriptedReply {
      if (address == 0x00) {
        inside = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return {std::move(page), {}};
    };
    dlg->OnTimer(COrvikDlg::kTimerDownload);
    while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
};

TEST_F(WorkerPort, AFailedOpenEndsTheWorkerAndNoOtherStartsUntilThePortIsPickedAgain) {
  device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: busy"});
  Tick();

  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error opening port");
  EXPECT_EQ(boxes[0].caption, "Error!");
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_STATUS), "Logger disconnected, waiting…");
  EXPECT_EQ(Control(IDC_RECEIVE).check, 1);
  EXPECT_EQ(Timer(4), 1000u);

  // The port could be opened again, but the list says "no": the download waits.
  device->FailOpen(zv::PortError{});
  Tick();
  Tick();
  EXPECT_EQ(device->OpenCount(), 1) << "the configuration read's open only";
  EXPECT_EQ(view.MessageBoxes().size(), 1u);

  // Picked again: the download goes on from the page it had reached.
  Pick(kPort);
  Tick();
  const auto asked = PageRequests(device->Written());
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front(), PageRequest(0x00));
  EXPECT_EQ(asked.size(), 2048u);
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 3, ztest::FactorsFor(8, 300, 50), 24));
  ExpectLivePollBack();
}

TEST_F(WorkerPort, ARefreshedListDuringTheWatchLeavesTheLostPortToIt) {
  device->FailOpen(zv::PortError{zv::PortErrorKind::kNotFound, 2, "open /dev/ttyLOGGER: no such port"});
  Tick();
  ASSERT_TRUE(TimerArmed(COrvikDlg::kTimerPortWatch));

  // Whoever answers there now is read by the watch first, not asked for pages.
  portTable = zv::FixedPortTable({kPort});
  Input(Event(zfw::InputEvent::Kind::kDoubleClick));
  ASSERT_EQ(Control(IDC_PORT).items.size(), 2u);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_TRUE(TimerArmed(COrvikDlg::kTimerPortWatch));
}

TEST_F(WorkerPort, SwitchingOffWithNoPortPickedStillClosesTheFile) {
  device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: busy"});
  Tick();
  ASSERT_EQ(Control(IDC_PORT).curSel, 0);
  const auto path = DumpPath("Zentrova-24 N00123");
  ASSERT_TRUE(ztest::OpenInThisProcess(path));

  Click(IDC_RECEIVE);

  ExpectLivePollBack();
  EXPECT_FALSE(dlg->m_hDumpFile);
  EXPECT_FALSE(ztest::OpenInThisProcess(path));
}

TEST_F(WorkerPort, ATickWhileAWorkerRunsStartsNoOther) {
  HoldTheWorkerAtItsFirstPage();

  dlg->OnTimer(COrvikDlg::kTimerDownload);
  dlg->OnTimer(COrvikDlg::kTimerDownload);
  release = true;
  WaitForTheWorker();
  dlg->Loop().ProcessPending();

  EXPECT_EQ(device->OpenCount(), 2) << "the configuration read and one worker";
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_EQ(PageRequests(device->Written()).size(), 2048u);
  ExpectLivePollBack();
}

TEST_F(WorkerPort, SwitchingOffDuringAPageStopsTheWorkerBeforeItsNextRequest) {
  Fill(256, 259);
  Fill(512, 515);
  std::atomic<bool> inside{false};
  pageReply = [&](int address, int, Bytes page) -> zv::ScriptedReply {
    if (address == 0x20) {
      // Held until the toggle is off; the page then comes whole, too late.
      inside = true;
      while (dlg->m_bReadPages.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {std::move(page), {}};
  };
  dlg->OnTimer(COrvikDlg::kTimerDownload);
  while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  Click(IDC_RECEIVE);

  EXPECT_EQ(dlg->m_bWorkerActive.load(), 0) << "joined by the switch-off";
  EXPECT_EQ(PageRequests(device->Written()), PageRequestsAt({0x00, 0x10, 0x20}));
  const auto path = DumpPath("Zentrova-24 N00123");
  EXPECT_EQ(ztest::ReadWhole(path), ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 512, ztest::FactorsFor(8, 300, 50), 24));
  EXPECT_FALSE(ztest::OpenInThisProcess(path));
  EXPECT_FALSE(device->IsOpen());
  ExpectLivePollBack();
  dlg->Loop().ProcessPending();
  EXPECT_NE(Text(IDC_STATUS), "No data ");
  EXPECT_EQ(Control(IDC_RECEIVE).check, 0) << "late news of a page does not press the toggle again";
}

// While a worker holds the port, the window's own ticks and buttons leave the exchange
// members alone, whatever the port list shows: the worker is held inside its first page
// request with that request in its frame.
enum class ToNo { kDoubleClickRefresh, kPicked, kSelectedByTheProgram };

struct ListOnNoCase {
  const char* name;
  ToNo how;
};

class FrameKeptFromTheWindow : public WorkerPort, public ::testing::WithParamInterface<ListOnNoCase> {};

TEST_P(FrameKeptFromTheWindow, ByThePollsOfAListOnNo) {
  HoldTheWorkerAtItsFirstPage();

  switch (GetParam().how) {
    case ToNo::kDoubleClickRefresh:
      Input(Event(zfw::InputEvent::Kind::kDoubleClick));
      break;
    case ToNo::kPicked:
      PickIndex(0);
      break;
    case ToNo::kSelectedByTheProgram:
      dlg->m_portCombo.SetCurSel(0);
      break;
  }
  Click(IDC_SET_CONFIG);  // with "no" picked it arms the live poll
  Focus(IDC_POLL_PERIOD);
  Enter();                // so does Enter on the poll period
  dlg->OnTimer(COrvikDlg::kTimerLivePoll);
  dlg->OnTimer(COrvikDlg::kTimerRecordPoll);

  EXPECT_EQ(Bytes(dlg->m_txFrame.GetData(), dlg->m_txFrame.GetData() + dlg->m_txFrame.GetSize()), PageRequest(0x00))
      << "the worker's request, untouched";
  release = true;
  WaitForTheWorker();
  dlg->Loop().ProcessPending();
  EXPECT_EQ(PageRequests(device->Written()).size(), 2048u);
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 3, ztest::FactorsFor(8, 300, 50), 24));
}

INSTANTIATE_TEST_SUITE_P(Table, FrameKeptFromTheWindow,
                         ::testing::Values(ListOnNoCase{"refreshed_by_a_double_click", ToNo::kDoubleClickRefresh},
                                           ListOnNoCase{"no_picked", ToNo::kPicked},
                                           ListOnNoCase{"no_selected_by_the_program", ToNo::kSelectedByTheProgram}),
                         [](const auto& info) { return std::string(info.param.name); });

// A confirmed erase whose port did not open runs no erase wait: a download started after it
// has its port and its frames to itself while the window runs its timers beside the worker.
TEST_F(DownloadFixture, AnEraseThatNeverOpenedItsPortLeavesTheNextDownloadAlone) {
  English();
  Fill(0, 3);
  Fill(2047 * 256, 2047 * 256 + 2);
  Pick(kPort);
  device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: busy"});
  view.QueueMessageBoxAnswer(IDOK);
  Click(IDC_ERASE);
  ASSERT_EQ(Control(IDC_PORT).curSel, 0);
  device->FailOpen(zv::PortError{});
  Pick(kPort);
  SwitchOn();
  ASSERT_EQ(Control(IDC_RECEIVE).check, 1) << "nothing holds the port";

  dlg->OnTimer(COrvikDlg::kTimerDownload);
  dlg->Loop().RunFor(151'000);  // the window's timers, while the worker reads
  WaitForTheWorker();
  dlg->Loop().ProcessPending();

  EXPECT_EQ(PageRequests(device->Written()).size(), 2048u);
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 2048 * 256, ztest::FactorsFor(8, 300, 50), 24));
  for (const std::string& text : StatusHistory()) EXPECT_EQ(text.find("USB"), std::string::npos) << text;
  EXPECT_FALSE(Timer(3));
  ExpectLivePollBack();
}

// Another port picked while a download holds its port: the list goes back to the port being
// read and says why; the next worker, after a page that did not come, reads the same logger,
// and so does the live poll after the download.
TEST_F(DownloadFixture, AnotherPortPickedDuringADownloadIsRefused) {
  const char* other = "/dev/ttyOTHER";
  auto second = ports.AddDevice(other);
  second->SetResponder([](const Bytes&) -> zv::ScriptedReply { return {Bytes(4096, 0x00), {}}; });
  Fill(0, 3);
  Fill(256, 258);
  pageReply = [](int address, int attempt, Bytes page) -> zv::ScriptedReply {
    if (address == 0x10 && attempt == 1) return {};
    return {std::move(page), {}};
  };
  Pick(other);
  Pick(kPort);
  const int loggerEntry = Control(IDC_PORT).curSel;
  SwitchOn();
  Tick();  // ends after page 0; page 0x10 did not come
  ASSERT_EQ(Text(IDC_STATUS), "Нет данных");

  for (int language : {0, 1}) {
    if (language == 1) English();
    Pick(other);
    EXPECT_EQ(Control(IDC_PORT).curSel, loggerEntry);
    EXPECT_EQ(Text(IDC_STATUS), language == 0 ? "Порт занят чтением памяти" : "The port is busy reading the memory");
    EXPECT_EQ(dlg->m_strPortName.str(), kPort);
  }
  Tick();

  EXPECT_EQ(second->OpenCount(), 1) << "its configuration read only";
  EXPECT_EQ(ztest::ReadWhole(DumpPath("Zentrova-24 N00123")),
            ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 2048 * 256, ztest::FactorsFor(8, 300, 50), 24));
  ExpectLivePollBack();
  dlg->Loop().RunFor(300);
  EXPECT_EQ(device->Written().back(), ztest::kMeasurementRequest);
  EXPECT_EQ(second->OpenCount(), 1);
}

// The news of a download's last page is still on its way when the person switches the
// download off and on again: it ends the download it came from, not the new one.
TEST_F(DownloadFixture, LateNewsOfAnEndedDownloadLeavesTheNextOneRunning) {
  Fill(0, 3);
  std::atomic<bool> inside{false};
  std::atomic<bool> release{false};
  pageReply = [&](int address, int, Bytes page) -> zv::ScriptedReply {
    if (address == 0x7FF0 && !release) {
      inside = true;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {std::move(page), {}};
  };
  Pick(kPort);
  SwitchOn();
  dlg->OnTimer(COrvikDlg::kTimerDownload);
  while (!inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Off and on again, queued before the last page's news.
  view.QueueFileDialogAnswer((folder / "dump.txt").string());
  view.QueueMessageBoxAnswer(IDOK);  // replace the first download's file
  view.Input(Event(zfw::InputEvent::Kind::kClick, IDC_RECEIVE));
  view.Input(Event(zfw::InputEvent::Kind::kClick, IDC_RECEIVE));
  release = true;
  WaitForTheWorker();

  dlg->Loop().ProcessPending();

  const auto path = DumpPath("Zentrova-24 N00123");
  EXPECT_EQ(Control(IDC_RECEIVE).check, 1) << "the new download is on";
  EXPECT_EQ(Timer(4), 1000u);
  EXPECT_TRUE(dlg->m_hDumpFile);
  Tick();
  EXPECT_EQ(PageRequests(device->Written()).size(), 2 * 2048u);
  EXPECT_EQ(ztest::ReadWhole(path), ztest::DumpHeader("Zentrova-24 N00123") + Rows(0, 3, ztest::FactorsFor(8, 300, 50), 24));
  ExpectLivePollBack();
}

// ---- what the download tells its observers ----------------------------------------------------

// The log with each run of pages written in a row given as one line: "pages 1-2048/2048".
std::vector<std::string> Summary(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  std::string first;
  std::string last;
  const auto flush = [&] {
    if (first.empty()) return;
    const std::string from = first.substr(5, first.find('/') - 5);
    out.push_back("pages " + from + "-" + last.substr(5));
    first.clear();
  };
  for (const std::string& line : lines) {
    if (line.rfind("page ", 0) == 0 && line != "page missing") {
      if (first.empty()) first = line;
      last = line;
      continue;
    }
    flush();
    out.push_back(line);
  }
  flush();
  return out;
}

enum class DownloadScenario { kWhole, kPageMissing, kSwitchedOff, kNoFileChosen, kUncreatable, kRowRefused, kPortLost };

struct DownloadEventCase {
  const char* name;
  DownloadScenario scenario;
  int language;
  std::vector<std::string> events;  // a file error's line up to the system's reason
};

class DownloadEvents : public DownloadFixture, public ::testing::WithParamInterface<DownloadEventCase> {};

TEST_P(DownloadEvents, EachPageAndTheEndAreToldOnTheWindowThread) {
  const DownloadEventCase& c = GetParam();
  if (c.language == 1) English();
  Fill(0, 600);
  Pick(kPort);
  ztest::EventLog log;
  dlg->AddEventObserver(&log);
  switch (c.scenario) {
    case DownloadScenario::kWhole:
      SwitchOn();
      Tick();
      break;
    case DownloadScenario::kPageMissing:
      pageReply = [](int address, int attempt, Bytes page) -> zv::ScriptedReply {
        if (address == 0x10 && attempt == 1) return {};
        return {std::move(page), {}};
      };
      SwitchOn();
      Tick();
      Tick();
      break;
    case DownloadScenario::kSwitchedOff:
      SwitchOn();
      Click(IDC_RECEIVE);
      break;
    case DownloadScenario::kNoFileChosen:
      view.QueueFileDialogAnswer(std::nullopt);
      Click(IDC_RECEIVE);
      break;
    case DownloadScenario::kUncreatable:
      view.QueueFileDialogAnswer((folder / "gone" / "dump.txt").string());
      Click(IDC_RECEIVE);
      break;
    case DownloadScenario::kRowRefused: {
      if (!ztest::FileSizeLimit::kSupported) GTEST_SKIP() << "no file size limit to make a write fail here";
      SwitchOn();
      ztest::FileSizeLimit limit(ztest::DumpHeader("Zentrova-24 N00123").size() + 100);
      ASSERT_TRUE(limit.Applied());
      dlg->OnTimer(COrvikDlg::kTimerDownload);
      WaitForTheWorker();
      break;
    }
    case DownloadScenario::kPortLost:
      SwitchOn();
      device->FailOpen(zv::PortError{zv::PortErrorKind::kBusy, 16, "open /dev/ttyLOGGER: busy"});
      Tick();
      break;
  }
  dlg->Loop().ProcessPending();

  const std::vector<std::string> told = Summary(log.lines);
  ASSERT_EQ(told.size(), c.events.size()) << ::testing::PrintToString(told);
  for (std::size_t i = 0; i < told.size(); ++i) EXPECT_EQ(told[i].rfind(c.events[i], 0), 0u) << told[i];
  if (!log.ends.empty() && log.ends.back().result != zv::Result::kFileError &&
      log.ends.back().result != zv::Result::kCancelled) {
    EXPECT_EQ(log.ends.back().text, Text(IDC_STATUS));
  }
  if (!log.ends.empty() && log.ends.back().result == zv::Result::kFileError) {
    const auto boxes = view.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(log.ends.back().text, boxes.back().text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DownloadEvents,
    ::testing::Values(
        DownloadEventCase{"WholeEn", DownloadScenario::kWhole, 1,
                          {"pages 1-2048/2048", "download: done \"Reading Memory 100%\""}},
        DownloadEventCase{"WholeRu", DownloadScenario::kWhole, 0,
                          {"pages 1-2048/2048", "download: done \"Чтение Памяти 100%\""}},
        DownloadEventCase{"PageMissingEn", DownloadScenario::kPageMissing, 1,
                          {"pages 1-1/2048", "page missing", "pages 2-2048/2048", "download: done \"Reading Memory 100%\""}},
        DownloadEventCase{"PageMissingRu", DownloadScenario::kPageMissing, 0,
                          {"pages 1-1/2048", "page missing", "pages 2-2048/2048", "download: done \"Чтение Памяти 100%\""}},
        DownloadEventCase{"SwitchedOffEn", DownloadScenario::kSwitchedOff, 1, {"download: cancelled \"\""}},
        DownloadEventCase{"SwitchedOffRu", DownloadScenario::kSwitchedOff, 0, {"download: cancelled \"\""}},
        DownloadEventCase{"NoFileChosenEn", DownloadScenario::kNoFileChosen, 1, {"download: cancelled \"\""}},
        DownloadEventCase{"NoFileChosenRu", DownloadScenario::kNoFileChosen, 0, {"download: cancelled \"\""}},
        DownloadEventCase{"UncreatableEn", DownloadScenario::kUncreatable, 1,
                          {"download: file error \"Cannot create the file:\r\n"}},
        DownloadEventCase{"UncreatableRu", DownloadScenario::kUncreatable, 0,
                          {"download: file error \"Не удалось создать файл:\r\n"}},
        DownloadEventCase{"RowRefusedEn", DownloadScenario::kRowRefused, 1,
                          {"download: file error \"Cannot write to the file:\r\n"}},
        DownloadEventCase{"RowRefusedRu", DownloadScenario::kRowRefused, 0,
                          {"download: file error \"Ошибка записи в файл:\r\n"}},
        // The download stays on, waiting for the port to be picked again.
        DownloadEventCase{"PortLostEn", DownloadScenario::kPortLost, 1, {"lost: open /dev/ttyLOGGER: busy"}},
        DownloadEventCase{"PortLostRu", DownloadScenario::kPortLost, 0, {"lost: open /dev/ttyLOGGER: busy"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the window's own page mode --------------------------------------------------------------

TEST_F(DownloadFixture, AReplyOnTheWindowThreadDuringADownloadIsTakenAsAPage) {
  English();
  config = {.version = 110, .serial = 123, .nominalVoltage = 24};  // 50 mV / 300 A
  Pick(kPort);
  SwitchOn();
  const auto path = DumpPath("Zentrova-24 N00123");
  Logged r;
  r.voltage = -1;  // FF FF
  r.yearByte = 20;
  memory[0] = r;

  ztest::Receive(*dlg, Page(0));
  dlg->DecodeReply();

  // The window's page mode reads the raw voltage unsigned: 65535 of 24 V at 5000.
  EXPECT_EQ(ztest::ReadWhole(path),
            ztest::DumpHeader("Zentrova-24 N00123") + "01_01_2020 00:00:0,00 \t0,00 \t314,57 \t 0,00\r\n");
  EXPECT_EQ(Text(IDC_STATUS), "Reading Memory 00%");
  EXPECT_EQ(Text(IDC_DATETIME), "01_01_2020 00:00:0.00");
  EXPECT_EQ(dlg->m_nMemAddress, 0);
  EXPECT_EQ(Control(IDC_PROGRESS).pos, 0);

  // A reply shorter than a page is not read past its end.
  ztest::Receive(*dlg, Bytes(100, 0x00));
  dlg->DecodeReply();
  EXPECT_EQ(Text(IDC_STATUS), "Incomplete reply");
  EXPECT_EQ(ztest::ReadWhole(path),
            ztest::DumpHeader("Zentrova-24 N00123") + "01_01_2020 00:00:0,00 \t0,00 \t314,57 \t 0,00\r\n");
}

}  // namespace
