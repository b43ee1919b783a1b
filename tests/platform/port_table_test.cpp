#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/port_table.h"
#include "port_table_reading.h"

namespace zv {
namespace {

using Names = std::vector<std::string>;
using testing::kTooLongMark;
using testing::ReadEntries;

Names Numbered(std::size_t count) {
  Names names;
  for (std::size_t i = 0; i < count; ++i) names.push_back("/dev/ttyUSB" + std::to_string(i));
  return names;
}

TEST(FixedPortTable, EntriesInTheirOwnOrderThenNoMore) {
  struct Case {
    const char* what;
    Names names;
    std::size_t capacity;
    Names read;
  };
  const Case cases[] = {
      {"none", {}, 1024, {}},
      {"300 entries", Numbered(300), 1024, Numbered(300)},
      // "/dev/ttyS1" is 10 bytes and its zero an 11th.
      {"an entry too long, the next still read",
       {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyS2"},
       11,
       {"/dev/ttyS1", kTooLongMark, "/dev/ttyS2"}},
      {"no room for the zero", {"/dev/ttyS1"}, 10, {kTooLongMark}},
  };
  for (const Case& c : cases) {
    FixedPortTable table(c.names);
    ASSERT_TRUE(table.Open()) << c.what;
    EXPECT_EQ(ReadEntries(table, c.capacity), c.read) << c.what;
    table.Close();
  }
}

TEST(FixedPortTable, OneThatCannotBeOpenedSaysSo) {
  FixedPortTable table({"/dev/ttyS0"}, /*openFails=*/true);
  std::string why;
  EXPECT_FALSE(table.Open(&why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(table.OpenCount(), 0);
}

}  // namespace
}  // namespace zv
