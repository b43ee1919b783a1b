// The files of rows have one writer each: a second create of a name in use fails, in this
// process or another, and leaves the first writer's file as it was.
#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/expected_dump.h"

namespace {

const std::string kInUse = "the file is in use by another writer";

class OutputFileTest : public ::testing::Test {
 protected:
  ztest::ScratchFolder folder;
  const std::string path = (folder / "rows.txt").string();
};

TEST_F(OutputFileTest, ASecondCreateOfANameInUseFailsAndEmptiesNothing) {
  std::string why;
  auto first = zv::OutputFile::Create(path, why);
  ASSERT_TRUE(first) << why;
  ASSERT_TRUE(first->Write("first row\r\n", why)) << why;

  auto second = zv::OutputFile::Create(path, why);

  EXPECT_FALSE(second);
  EXPECT_EQ(why, "create " + path + ": " + kInUse);
  ASSERT_TRUE(first->Write("second row\r\n", why)) << why;
  EXPECT_EQ(ztest::ReadWhole(path), "first row\r\nsecond row\r\n");

  first.reset();
  auto again = zv::OutputFile::Create(path, why);
  ASSERT_TRUE(again) << "free once its writer is done: " << why;
  EXPECT_EQ(ztest::ReadWhole(path), "") << "and emptied as any existing file is";
}

TEST_F(OutputFileTest, AFileAnotherProcessWritesIsRefusedUntilThatProcessLetsGo) {
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string why;
    auto file = zv::OutputFile::Create(path, why);
    const char got = file && file->Write("the other process\r\n", why) ? '1' : '0';
    (void)!::write(ready[1], &got, 1);
    char c = 0;
    (void)!::read(release[0], &c, 1);
    file.reset();
    ::_exit(0);
  }
  char got = 0;
  ASSERT_EQ(::read(ready[0], &got, 1), 1);
  ASSERT_EQ(got, '1');

  std::string why;
  EXPECT_FALSE(zv::OutputFile::Create(path, why));
  EXPECT_EQ(why, "create " + path + ": " + kInUse);
  EXPECT_EQ(ztest::ReadWhole(path), "the other process\r\n");

  ASSERT_EQ(::write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(zv::OutputFile::Create(path, why)) << why;
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST_F(OutputFileTest, ADeviceTakesAnyNumberOfWriters) {
  std::string why;
  auto first = zv::OutputFile::Create("/dev/null", why);
  auto second = zv::OutputFile::Create("/dev/null", why);
  EXPECT_TRUE(first && second) << why;
}

TEST_F(OutputFileTest, AFileThatCannotBeMadeGivesTheSystemsReason) {
  std::string why;
  EXPECT_FALSE(zv::OutputFile::Create((folder / "gone" / "rows.txt").string(), why));
  EXPECT_EQ(why, "create " + (folder / "gone" / "rows.txt").string() + ": No such file or directory");
}

}  // namespace
