// A test main that takes the process locale from the environment, as the Qt program does at
// start, so that the same tests can run under a locale whose decimal separator is a comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (std::getenv("ZENTROVA_EXPECT_DECIMAL_COMMA") != nullptr &&
      std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
    std::fprintf(stderr, "The locale named by LC_ALL is not installed (run locale-gen for it).\n");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
