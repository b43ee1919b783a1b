// The name of a recording or dump file, made from the path picked in the save dialog.
#include <gtest/gtest.h>

#include <string>

#include "decode/row_file.h"

namespace {

struct NameCase {
  const char* name;
  const char* chosen;
  const char* device;
  const char* file;
};

const NameCase kNames[] = {
    {"txt_extension_goes", "/logs/bat1.txt", "Zentrova-24 N00017", "/logs/bat1 ( Zentrova-24 N00017 ).txt"},
    {"every_txt_in_the_name_goes", "/logs/a.txtb.txt", "Zentrova-24 N00017", "/logs/ab ( Zentrova-24 N00017 ).txt"},
    {"capital_txt_stays", "/logs/test.TXT", "Zentrova-24 N00123", "/logs/test.TXT ( Zentrova-24 N00123 ).txt"},
    {"other_extension_stays", "/logs/run.dat", "Zentrova-24 N00123", "/logs/run.dat ( Zentrova-24 N00123 ).txt"},
    {"folder_with_txt_stays", "/data/a.txtdir/b.txt", "Zentrova-24 N00123", "/data/a.txtdir/b ( Zentrova-24 N00123 ).txt"},
    {"no_configuration_read", "/logs/test.txt", "", "/logs/test (  ).txt"},
    {"a_name_without_folder", "bat1.txt", "Zentrova-12 N04321", "bat1 ( Zentrova-12 N04321 ).txt"},
#if defined(_WIN32)
    // A backslash parts folders on Windows only; elsewhere it is a character of a name.
    {"windows_folder_with_txt_stays", "C:\\runs.txt\\bat1.txt", "Zentrova-24 N00123",
     "C:\\runs.txt\\bat1 ( Zentrova-24 N00123 ).txt"},
#else
    {"backslash_is_part_of_the_name", "/logs/a.txt\\b.txt", "Zentrova-24 N00123", "/logs/a\\b ( Zentrova-24 N00123 ).txt"},
#endif
};

class RowFileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(RowFileNames, LoseTxtInTheFileNameAndGetTheDeviceName) {
  EXPECT_EQ(RowFileName(GetParam().chosen, GetParam().device).str(), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Table, RowFileNames, ::testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
