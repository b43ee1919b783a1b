// The Windows port table's logic over a registry of the tests' own: what becomes a name, what
// ends the table, and that the key is closed after every enumeration.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/registry_port_table.h"
#include "port_table_reading.h"
#include "support/fake_registry.h"

namespace zv {
namespace {

using Names = std::vector<std::string>;
using testing::kTooLongMark;
using testing::ReadEntries;
using ztest::PortValue;
using ztest::RegistryValue;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(RegistryPortTable, EachValuesDataUpToItsFirstZeroIsOneName) {
  struct Case {
    const char* what;
    std::vector<RegistryValue> values;
    Names read;
  };
  const Case cases[] = {
      {"no values", {}, {}},
      {"the key's own order, duplicates kept",
       {PortValue("\\Device\\Serial0", "COM3"), PortValue("\\Device\\VCP0", "COM1"), PortValue("\\Device\\X", "COM3")},
       {"COM3", "COM1", "COM3"}},
      {"data without a terminating zero", {RegistryValue{"\\Device\\Serial1", Bytes("COM12")}}, {"COM12"}},
      {"a zero in the middle ends the name",
       {RegistryValue{"\\Device\\Serial2", Bytes(std::string("COM7\0junk\0", 10))}},
       {"COM7"}},
      {"empty data is an empty name", {RegistryValue{"\\Device\\Serial3", {}}}, {""}},
      {"a value name too long for its buffer",
       {PortValue("\\Device\\A", "COM1"), PortValue(std::string(1024, 'n'), "COM2"), PortValue("\\Device\\B", "COM3")},
       {"COM1", kTooLongMark, "COM3"}},
      {"data of 1025 bytes",
       {PortValue("\\Device\\A", "COM1"), PortValue("\\Device\\B", std::string(1024, 'c'))},
       {"COM1", kTooLongMark}},
      {"data of exactly 1024 bytes fits",
       {PortValue("\\Device\\A", std::string(1023, 'c'))},
       {std::string(1023, 'c')}},
  };
  for (const Case& c : cases) {
    auto calls = std::make_shared<ztest::RegistryCalls>();
    auto table = ztest::RegistryTable(c.values, calls);
    ASSERT_TRUE(table->Open()) << c.what;
    EXPECT_EQ(ReadEntries(*table, 1024), c.read) << c.what;
    table->Close();
    EXPECT_EQ(calls->opens, 1) << c.what;
    EXPECT_EQ(calls->closes, 1) << c.what;
    for (std::size_t capacity : calls->capacities) EXPECT_EQ(capacity, 1024u) << c.what;
  }
}

TEST(RegistryPortTable, AKeyThatCannotBeOpenedSaysWhyAndReadsNothing) {
  auto calls = std::make_shared<ztest::RegistryCalls>();
  auto table = ztest::RegistryTable({PortValue("\\Device\\Serial0", "COM1")}, calls, /*openFails=*/true);
  std::string why;
  EXPECT_FALSE(table->Open(&why));
  EXPECT_NE(why.find("HARDWARE\\DEVICEMAP\\SERIALCOMM"), std::string::npos) << why;
  std::string name;
  EXPECT_EQ(table->ReadEntry(0, 1024, name), PortEntryResult::kNoMore);
  table->Close();
  EXPECT_EQ(calls->closes, 0) << "a key never opened is not closed";
}

TEST(RegistryPortTable, EveryEnumerationOpensTheKeyAfreshAndClosesIt) {
  auto calls = std::make_shared<ztest::RegistryCalls>();
  {
    auto table = ztest::RegistryTable({PortValue("\\Device\\Serial0", "COM1")}, calls);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(table->Open());
      EXPECT_EQ(ReadEntries(*table), (Names{"COM1"}));
      table->Close();
    }
    ASSERT_TRUE(table->Open());  // left open: the table closes it when it goes
  }
  EXPECT_EQ(calls->opens, 4);
  EXPECT_EQ(calls->closes, 4);
}

}  // namespace
}  // namespace zv
