// zentrova-cli report in-process, where no chart has been handed to it (as on Windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/options.h"
#include "cli/plot.h"
#include "cli/report.h"

namespace {

TEST(CliReport, PlotIsRefusedWithoutAChartBeforeTheFileIsRead) {
  ASSERT_EQ(zcli::GetPlotter(), nullptr);
  zcli::Options o;
  std::string error;
  ASSERT_TRUE(zcli::ParseOptions({"report", "no such file.txt", "--plot", "out.png"}, o, error)) << error;
  std::ostringstream out, err;
  EXPECT_EQ(zcli::RunReport(o, out, err), 2);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(),
            "zentrova-cli: --plot is not available in this build: charts need Qt, which the Windows build has not\n");
  EXPECT_FALSE(std::filesystem::exists("out.png"));
}

}  // namespace
