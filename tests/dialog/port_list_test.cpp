// The port list: the port table's entries and the names given on the command line after
// "no", the refresh by a double-click on the window, and what picking an entry does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_registry.h"
#include "support/logger_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class PortList : public ztest::LoggerFixture {
 protected:
  void TearDown() override {
    dlg.reset();  // before the table it reads
    LoggerFixture::TearDown();
  }
  // A window over a table of these names, or one that cannot be opened, and these names
  // from the command line.
  void Build(const Strings& names, bool tableFails = false, const Strings& extra = {}) {
    table = std::make_unique<zv::FixedPortTable>(names, tableFails);
    Rebuild(PortAccess{&ports, table.get(), extra});
  }
  const Strings& Items() const { return Control(IDC_PORT).items; }

  std::unique_ptr<zv::FixedPortTable> table;
};

struct ListCase {
  const char* name;
  Strings table;
  Strings extra;
  Strings listed;
};

class PortListFill : public PortList, public ::testing::WithParamInterface<ListCase> {};

TEST_P(PortListFill, ListsNoThenTheTableThenTheCommandLine) {
  const ListCase& c = GetParam();
  Build(c.table, false, c.extra);
  EXPECT_EQ(Items(), c.listed);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_PORT), "no");
  EXPECT_TRUE(view.MessageBoxes().empty());
}

const std::string kFits(1023, 'x');      // with its terminating zero, exactly the 1024 bytes
const std::string kTooLong(1024, 'y');  // one byte over

INSTANTIATE_TEST_SUITE_P(
    Table, PortListFill,
    ::testing::Values(ListCase{"NoPorts", {}, {}, {"no"}},
                      ListCase{"TheTablesOrderWithDuplicates", {"COM3", "COM1", "COM3"}, {}, {"no", "COM3", "COM1", "COM3"}},
                      ListCase{"AZeroByteEndsTheName", {std::string("COM7\0junk", 9), "COM8"}, {}, {"no", "COM7", "COM8"}},
                      ListCase{"TheLongestNameThatFits", {"A", kFits}, {}, {"no", "A", kFits}},
                      ListCase{"ATooLongEntryEndsTheTable", {"A", kTooLong, "B"}, {}, {"no", "A"}},
                      ListCase{"CommandLineNamesFollowVerbatim",
                               {"COM1", "COM2"},
                               {"/dev/pts/3", "COM1", "my port"},
                               {"no", "COM1", "COM2", "/dev/pts/3", "COM1", "my port"}},
                      ListCase{"CommandLineNamesAfterATooLongEntry", {"A", kTooLong, "B"}, {"/dev/pts/3"},
                               {"no", "A", "/dev/pts/3"}},
                      ListCase{"OnlyCommandLineNames", {}, {"/dev/ttyUSB0"}, {"no", "/dev/ttyUSB0"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct LimitCase {
  const char* name;
  int tableEntries;
  int extraNames;
  int tableListed;
  int extraListed;
};

class PortListLimit : public PortList, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(PortListLimit, Holds255EntriesAfterNo) {
  const LimitCase& c = GetParam();
  Strings names;
  for (int i = 0; i < c.tableEntries; ++i) names.push_back("T" + std::to_string(i));
  Strings extra;
  for (int i = 0; i < c.extraNames; ++i) extra.push_back("E" + std::to_string(i));
  Build(names, false, extra);

  Strings listed{"no"};
  listed.insert(listed.end(), names.begin(), names.begin() + c.tableListed);
  listed.insert(listed.end(), extra.begin(), extra.begin() + c.extraListed);
  EXPECT_EQ(Items(), listed);
}

INSTANTIATE_TEST_SUITE_P(Table, PortListLimit,
                         ::testing::Values(LimitCase{"TableOf300", 300, 0, 255, 0},
                                           LimitCase{"TableOf255LeavesNoRoom", 255, 2, 255, 0},
                                           LimitCase{"TableOf254LeavesOne", 254, 2, 254, 1},
                                           LimitCase{"CommandLineAlone", 0, 300, 0, 255}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortList, ATableThatCannotBeOpenedIsReportedAndTheCommandLineNamesStillFollow) {
  for (bool noTableAtAll : {false, true}) {
    SCOPED_TRACE(noTableAtAll ? "no table" : "table fails");
    view.ClearRecords();
    if (noTableAtAll) {
      Rebuild(PortAccess{&ports, nullptr, {"/dev/ttyUSB0", "/dev/pts/3"}});
    } else {
      Build({"COM1"}, true, {"/dev/ttyUSB0", "/dev/pts/3"});
    }
    const auto boxes = view.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error Open Key");
    EXPECT_EQ(boxes[0].caption, "zentrova") << "the application's name";
    EXPECT_EQ(boxes[0].type, 0x30u) << "OK with the exclamation icon";
    EXPECT_EQ(Items(), (Strings{"no", "/dev/ttyUSB0", "/dev/pts/3"}));
    EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  }
}

// The window over the Windows table: the registry key's values, read by the same rules.
struct RegistryCase {
  const char* name;
  std::vector<ztest::RegistryValue> values;
  Strings listed;
};

std::vector<ztest::RegistryValue> ComPorts(int count) {
  std::vector<ztest::RegistryValue> values;
  for (int i = 1; i <= count; ++i) {
    values.push_back(ztest::PortValue("\\Device\\Serial" + std::to_string(i), "COM" + std::to_string(i)));
  }
  return values;
}

Strings ComNames(int count) {
  Strings names{"no"};
  for (int i = 1; i <= count; ++i) names.push_back("COM" + std::to_string(i));
  return names;
}

class PortListFromRegistry : public PortList, public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(PortListFromRegistry, ListsTheKeysValues) {
  const RegistryCase& c = GetParam();
  auto registry = ztest::RegistryTable(c.values);
  Rebuild(PortAccess{&ports, registry.get(), {}});
  EXPECT_EQ(Items(), c.listed);
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_TRUE(view.MessageBoxes().empty());
  dlg.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortListFromRegistry,
    ::testing::Values(RegistryCase{"NoPorts", {}, {"no"}},
                      RegistryCase{"ThreeHundredValuesListTheFirst255", ComPorts(300), ComNames(255)},
                      RegistryCase{"ADataTooLongEndsTheList",
                                   {ztest::PortValue("\\Device\\Serial0", "COM1"),
                                    ztest::PortValue("\\Device\\Serial1", std::string(1100, 'C')),
                                    ztest::PortValue("\\Device\\Serial2", "COM3")},
                                   {"no", "COM1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortList, ARegistryKeyThatCannotBeOpenedShowsErrorOpenKey) {
  auto registry = ztest::RegistryTable(ComPorts(2), nullptr, /*openFails=*/true);
  Rebuild(PortAccess{&ports, registry.get(), {"COM9"}});
  const auto boxes = view.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error Open Key");
  EXPECT_EQ(Items(), (Strings{"no", "COM9"}));
  dlg.reset();
}

TEST_F(PortList, PickingNoOnlyStopsTheLivePoll) {
  Build({});
  Answering();
  dlg->m_strPortName = kPort;
  dlg->SetTimer(1, 300);
  dlg->SetTimer(2, 200);

  PickIndex(0);

  EXPECT_FALSE(TimerArmed(1));
  EXPECT_TRUE(TimerArmed(2));
  EXPECT_EQ(dlg->m_strPortName.str(), kPort);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_TRUE(view.MessageBoxes().empty());
  EXPECT_EQ(Text(IDC_STATUS), " ");
}

TEST_F(PortList, ANameTypedIntoTheEditPartAndLeftSelectsNothing) {
  Build({}, false, {kPort});
  Answering();

  Focus(IDC_PORT);
  Type(IDC_PORT, kPort);
  Enter();
  Focus(IDC_POLL_PERIOD);

  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_PORT), kPort) << "the text stays as typed";
  EXPECT_EQ(dlg->m_strPortName.str(), "");
  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_FALSE(TimerArmed(1));
}

TEST_F(PortList, ADoubleClickRefillsTheListAndPausesPollingUntilThePortIsPickedAgain) {
  Build({"COM1"}, false, {kPort});
  Answering();
  Pick(kPort);
  ASSERT_EQ(Control(IDC_PORT).curSel, 2);
  dlg->Loop().RunFor(300);
  ASSERT_EQ(device->Written(), (std::vector<ztest::Bytes>{ztest::kConfigRequest, ztest::kMeasurementRequest}));

  Input(Event(zfw::InputEvent::Kind::kDoubleClick));

  EXPECT_EQ(Items(), (Strings{"no", "COM1", kPort}));
  EXPECT_EQ(Control(IDC_PORT).curSel, 0);
  EXPECT_EQ(Text(IDC_PORT), "no");
  EXPECT_EQ(table->OpenCount(), 2) << "the table is read afresh";
  EXPECT_EQ(dlg->m_strPortName.str(), kPort);
  EXPECT_TRUE(TimerArmed(1)) << "the refresh stops no timer";
  EXPECT_TRUE(view.MessageBoxes().empty());

  dlg->Loop().RunFor(600);
  EXPECT_EQ(device->Written().size(), 2u) << "the live poll is quiet while \"no\" is selected";

  Pick(kPort);
  const auto written = device->Written();
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written.back(), ztest::kConfigRequest) << "the configuration is read again";
  EXPECT_EQ(dlg->Loop().TimerPeriod(1), 300u);
  dlg->Loop().RunFor(300);
  EXPECT_EQ(device->Written().back(), ztest::kMeasurementRequest);
}

}  // namespace
