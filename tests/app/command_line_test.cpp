// The desktop program's own options, and what it leaves for Qt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

using Args = std::vector<std::string>;

struct Case {
  Args args;
  bool ok;
  Args ports;
  Args rest;
  bool help;
  bool listPorts;
  std::string error;
  std::string view = "";
};

TEST(AppOptions, ReadsItsOwnAndLeavesTheRestForQt) {
  const Case cases[] = {
      {{"zentrova"}, true, {}, {"zentrova"}, false, false, ""},
      {{"zentrova", "--port", "/tmp/zentrova-sim", "--port=/dev/pts/7"}, true, {"/tmp/zentrova-sim", "/dev/pts/7"},
       {"zentrova"}, false, false, ""},
      // Names are kept verbatim, blanks and all.
      {{"zentrova", "--port", "COM 3 (bridge)"}, true, {"COM 3 (bridge)"}, {"zentrova"}, false, false, ""},
      {{"zentrova", "-platform", "offscreen", "--list-ports"}, true, {}, {"zentrova", "-platform", "offscreen"}, false,
       true, ""},
      {{"zentrova", "-h"}, true, {}, {"zentrova"}, true, false, ""},
      {{"zentrova", "--help"}, true, {}, {"zentrova"}, true, false, ""},
      {{"zentrova", "--port"}, false, {}, {}, false, false, "--port needs a port name"},
      {{"zentrova", "--port="}, false, {}, {}, false, false, "--port needs a port name"},
      {{"zentrova", "--ports", "x"}, false, {}, {}, false, false, "unknown option --ports"},
      {{"zentrova", "--view", "mem ( N1 ).txt"}, true, {}, {"zentrova"}, false, false, "", "mem ( N1 ).txt"},
      {{"zentrova", "--view=a.txt", "-platform", "offscreen"}, true, {}, {"zentrova", "-platform", "offscreen"}, false,
       false, "", "a.txt"},
      {{"zentrova", "--view"}, false, {}, {}, false, false, "--view needs a file name"},
      {{"zentrova", "--view="}, false, {}, {}, false, false, "--view needs a file name"},
  };
  for (const Case& c : cases) {
    AppOptions options;
    std::string error;
    const bool ok = ParseAppOptions(c.args, options, error);
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : "no options");
    ASSERT_EQ(ok, c.ok);
    if (!ok) {
      EXPECT_EQ(error, c.error);
      continue;
    }
    EXPECT_EQ(options.ports, c.ports);
    EXPECT_EQ(options.rest, c.rest);
    EXPECT_EQ(options.help, c.help);
    EXPECT_EQ(options.listPorts, c.listPorts);
    EXPECT_EQ(options.view, c.view);
  }
}

TEST(AppOptions, HelpNamesEveryOption) {
  const std::string help = AppUsageText();
  for (const char* option : {"--port NAME", "--list-ports", "--view FILE", "--help", "dialout"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
