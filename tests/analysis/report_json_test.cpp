// The report as JSON: exactly its fields, in order, numbers with points whatever the locale,
// ISO times, and null for what a file does not have.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/report.h"
#include "analysis/report_json.h"

namespace {

TEST(ReportJson, EveryFieldOfAFullReport) {
  zan::Report r;
  r.device = "Zentrova-24 N00017";
  r.file = "C:\\logs\\mem \"1\".txt";
  r.samples = 3;
  r.undatedRows = 1;
  r.start = 0;
  r.end = 61.5;
  zan::Phase p;
  p.kind = zan::PhaseKind::kDischarge;
  p.start = 0;
  p.end = 61.5;
  p.seconds = 61.5;
  p.sampledSeconds = 1.5;
  p.ah = 1.25;
  p.wh = 16.0625;
  p.meanA = -73.17073171;
  p.minV = 12.5;
  p.maxV = 13.25;
  p.endV = 12.5;
  p.counterAh = -1.2;
  r.phases.push_back(p);
  r.gaps.push_back({0.5, 60.5, 60, 1});
  r.resistance.push_back({61.5, 0.0123456789, -10, 0.12, 1, 2});
  r.totals.dischargeAh = 1.25;
  r.totals.dischargeWh = 16.0625;
  r.totals.chargeAh = 2.5;
  r.totals.chargeWh = 33;
  r.totals.ahEfficiency = 0.5;
  r.totals.whEfficiency = 16.0625 / 33;
  EXPECT_EQ(zan::ReportJson(r),
            "{\"device\":\"Zentrova-24 N00017\",\"file\":\"C:\\\\logs\\\\mem \\\"1\\\".txt\",\"samples\":3,"
            "\"start\":\"2000-01-01T00:00:00.00\",\"end\":\"2000-01-01T00:01:01.50\",\"undated_rows\":1,"
            "\"phases\":[{\"kind\":\"discharge\",\"start\":\"2000-01-01T00:00:00.00\",\"end\":\"2000-01-01T00:01:01.50\","
            "\"seconds\":61.5,\"sampled_seconds\":1.5,\"ah\":1.25,\"wh\":16.0625,\"mean_a\":-73.1707,\"min_v\":12.5,"
            "\"max_v\":13.25,\"end_v\":12.5,\"counter_ah\":-1.2}],"
            "\"gaps\":[{\"start\":\"2000-01-01T00:00:00.50\",\"end\":\"2000-01-01T00:01:00.50\",\"seconds\":60}],"
            "\"resistance\":[{\"time\":\"2000-01-01T00:01:01.50\",\"ohm\":0.012346,\"delta_a\":-10}],"
            "\"totals\":{\"charge_ah\":2.5,\"discharge_ah\":1.25,\"charge_wh\":33,\"discharge_wh\":16.0625,"
            "\"ah_efficiency\":0.5,\"wh_efficiency\":0.486742}}");
}

TEST(ReportJson, NullWhereAFileHasNothing) {
  zan::Report r;
  EXPECT_EQ(zan::ReportJson(r),
            "{\"device\":\"\",\"file\":\"\",\"samples\":0,\"start\":null,\"end\":null,\"undated_rows\":0,"
            "\"phases\":[],\"gaps\":[],\"resistance\":[],"
            "\"totals\":{\"charge_ah\":0,\"discharge_ah\":0,\"charge_wh\":0,\"discharge_wh\":0,"
            "\"ah_efficiency\":null,\"wh_efficiency\":null}}");
  zan::Phase p;  // no counter in the file
  r.phases.push_back(p);
  r.phases.push_back(p);
  EXPECT_NE(zan::ReportJson(r).find("\"counter_ah\":null},{\"kind\":\"rest\""), std::string::npos);
}

TEST(ReportJson, Numbers) {
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {1.5, 2, "1.5"},         {2.0, 6, "2"},         {-1e-7, 6, "0"},     {12.3456789, 3, "12.346"},
      {1e6, 2, "1000000"},     {-3.14159, 4, "-3.1416"}, {0.1, 6, "0.1"}, {NAN, 2, "null"},
      {INFINITY, 2, "null"},   {-250.0, 0, "-250"},
  };
  for (const auto& c : cases) EXPECT_EQ(zan::JsonNumber(c.value, c.decimals), c.text) << c.value;
}

TEST(ReportJson, ControlCharactersInTextsAreEscaped) {
  zan::Report r;
  r.device = "a\tb\x01";
  EXPECT_EQ(zan::ReportJson(r).substr(0, 26), "{\"device\":\"a\\u0009b\\u0001\"");
}

}  // namespace
