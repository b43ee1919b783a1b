// The analysis of designed series: where phases begin and end, their ampere-hours and
// watt-hours against values worked out by hand, gaps, resistance at current steps, the
// threshold and merge rules, undated samples, and files of both kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/series.h"

namespace {

using zan::PhaseKind;

// Builds a series segment by segment: each a constant current for a time, sampled every
// `step` seconds, the voltage going linearly from v0 to v1.
class Designed {
 public:
  explicit Designed(double step = 1.0) : step_(step) {}

  Designed& Hold(double seconds, double current, double v0, double v1 = NAN) {
    if (std::isnan(v1)) v1 = v0;
    const long n = std::lround(seconds / step_);
    for (long k = 0; k < n; ++k) {
      zan::Sample s;
      s.t = t_;
      s.current = static_cast<float>(current);
      s.voltage = static_cast<float>(v0 + (v1 - v0) * static_cast<double>(k) / static_cast<double>(n > 1 ? n - 1 : 1));
      counter_ += current * step_ / 3600;
      s.counter = static_cast<float>(counter_);
      series_.samples.push_back(s);
      t_ += step_;
    }
    return *this;
  }
  Designed& Skip(double seconds) {
    t_ += seconds;
    return *this;
  }
  Designed& Undated(double current, double voltage) {
    zan::Sample s;
    s.current = static_cast<float>(current);
    s.voltage = static_cast<float>(voltage);
    series_.samples.push_back(s);
    ++series_.undated;
    return *this;
  }
  zan::Series Series() const {
    zan::Series s = series_;
    s.hasCounter = true;
    return s;
  }

 private:
  double step_;
  double t_ = 1000.0;
  double counter_ = 0;
  zan::Series series_;
};

std::vector<PhaseKind> Kinds(const zan::Report& r) {
  std::vector<PhaseKind> out;
  for (const zan::Phase& p : r.phases) out.push_back(p.kind);
  return out;
}

void ExpectWithin(double actual, double expected, double share, const char* what) {
  EXPECT_NEAR(actual, expected, std::fabs(expected) * share) << what;
}

TEST(Report, PhaseBoundariesAndTheirFigures) {
  // Samples every 10 s: 120 s of rest at 12.8 V, a 2 A discharge of 361 samples (3600 s) with
  // the voltage falling from 12.5 to 11.5 V, then 200 s of rest at 11.9 V.
  const zan::Series s = Designed(10).Hold(120, 0, 12.8).Hold(3610, -2, 12.5, 11.5).Hold(200, 0, 11.9).Series();
  const zan::Report r = zan::Analyse(s);
  ASSERT_EQ(Kinds(r), (std::vector<PhaseKind>{PhaseKind::kRest, PhaseKind::kDischarge, PhaseKind::kRest}));
  const zan::Phase& d = r.phases[1];
  EXPECT_EQ(d.first, 12u);
  EXPECT_EQ(d.last, 372u);
  EXPECT_DOUBLE_EQ(d.start, 1120);
  // It ends where the rest after it begins: the step between them is the discharge's own.
  EXPECT_DOUBLE_EQ(d.end, 4730);
  EXPECT_DOUBLE_EQ(d.seconds, 3610);
  EXPECT_DOUBLE_EQ(d.sampledSeconds, 3610);
  // 360 steps of 10 s at 2 A, and the step into the rest at (2 + 0) / 2 A: 7210 A·s.
  ExpectWithin(d.ah, 7210.0 / 3600, 0.001, "Ah");
  // The voltage is linear, so the trapezoids are exact: 2 A at a mean 12 V for 3600 s, then
  // the step into the rest at (2 A × 11.5 V + 0) / 2: 86 400 + 115 W·s.
  ExpectWithin(d.wh, 86515.0 / 3600, 0.001, "Wh");
  ExpectWithin(d.meanA, -7210.0 / 3610, 0.001, "mean A");
  EXPECT_FLOAT_EQ(static_cast<float>(d.minV), 11.5f);
  EXPECT_FLOAT_EQ(static_cast<float>(d.maxV), 12.5f);
  EXPECT_FLOAT_EQ(static_cast<float>(d.endV), 11.5f);
  ASSERT_TRUE(d.counterAh);
  // The designed counter moved 2 A × 10 s at each discharge sample after the first.
  EXPECT_NEAR(*d.counterAh, -2.0 * 10 * 360 / 3600, 1e-5);
  // The rest owns its step into the discharge: (0 + 2) / 2 A for 10 s.
  ExpectWithin(r.phases[0].ah, 10.0 / 3600, 0.001, "rest Ah");
  EXPECT_DOUBLE_EQ(r.phases[2].end, 4920);
  EXPECT_DOUBLE_EQ(*r.start, 1000);
  EXPECT_DOUBLE_EQ(*r.end, 4920);
  EXPECT_DOUBLE_EQ(r.totals.dischargeAh, d.ah);
  EXPECT_DOUBLE_EQ(r.totals.dischargeWh, d.wh);
  EXPECT_DOUBLE_EQ(r.totals.chargeAh, 0);
  EXPECT_FALSE(r.totals.ahEfficiency);
  EXPECT_FALSE(r.totals.whEfficiency);
  EXPECT_TRUE(r.gaps.empty());
}

TEST(Report, ChargeAndDischargeGiveTheEfficiencies) {
  // 1 s samples: a 5 A charge for 7200 s at 13.6 V, rest, a 4 A discharge for 8000 s at 12.4 V.
  const zan::Series s =
      Designed().Hold(7200, 5, 13.6).Hold(600, 0, 13.0).Hold(8000, -4, 12.4).Hold(600, 0, 12.6).Series();
  const zan::Report r = zan::Analyse(s);
  ASSERT_EQ(Kinds(r), (std::vector<PhaseKind>{PhaseKind::kCharge, PhaseKind::kRest, PhaseKind::kDischarge,
                                               PhaseKind::kRest}));
  // Charge: 7199 steps at 5 A and the half step into the rest: 35 997.5 A·s; discharge
  // 7999 steps at 4 A and a half step: 31 998 A·s.
  ExpectWithin(r.totals.chargeAh, 35997.5 / 3600, 0.001, "charge Ah");
  ExpectWithin(r.totals.dischargeAh, 31998.0 / 3600, 0.001, "discharge Ah");
  ExpectWithin(r.totals.chargeWh, (5 * 13.6 * 7199 + 5 * 13.6 / 2) / 3600, 0.001, "charge Wh");
  ExpectWithin(r.totals.dischargeWh, (4 * 12.4 * 7999 + 4 * 12.4 / 2) / 3600, 0.001, "discharge Wh");
  ASSERT_TRUE(r.totals.ahEfficiency);
  ASSERT_TRUE(r.totals.whEfficiency);
  ExpectWithin(*r.totals.ahEfficiency, 31998.0 / 35997.5, 0.001, "Ah efficiency");
  ExpectWithin(*r.totals.whEfficiency, (4 * 12.4 * 7999.5) / (5 * 13.6 * 7199.5), 0.001, "Wh efficiency");
}

TEST(Report, AGapInsideADischargeIsMarkedAndNotIntegrated) {
  // A 3 A discharge sampled every second, the logger off for 1000 s in the middle of it.
  const zan::Series s = Designed().Hold(600, -3, 12.2).Skip(999).Hold(600, -3, 12.0).Hold(120, 0, 12.4).Series();
  const zan::Report r = zan::Analyse(s);
  EXPECT_DOUBLE_EQ(r.gapSeconds, 60);  // the median step is 1 s
  ASSERT_EQ(r.gaps.size(), 1u);
  EXPECT_DOUBLE_EQ(r.gaps[0].start, 1599);
  EXPECT_DOUBLE_EQ(r.gaps[0].end, 2599);
  EXPECT_DOUBLE_EQ(r.gaps[0].seconds, 1000);
  EXPECT_EQ(r.gaps[0].before, 599u);
  ASSERT_EQ(Kinds(r), (std::vector<PhaseKind>{PhaseKind::kDischarge, PhaseKind::kRest}));
  const zan::Phase& d = r.phases[0];
  EXPECT_DOUBLE_EQ(d.seconds, 2199);
  // 599 steps on each side of the gap, and half a step into the rest.
  EXPECT_DOUBLE_EQ(d.sampledSeconds, 1199);
  ExpectWithin(d.ah, 3.0 * 1198.5 / 3600, 0.001, "Ah");
  ExpectWithin(d.meanA, -3.0 * 1198.5 / 1199, 0.001, "mean A");
}

TEST(Report, TheDefaultGapFollowsTheMedianStep) {
  const struct {
    double step;
    double hole;  // the time between two neighbours in the middle
    double limit;
    std::size_t gaps;
  } cases[] = {
      {1, 59, 60, 0}, {1, 61, 60, 1}, {10, 90, 100, 0}, {10, 110, 100, 1}, {30, 290, 300, 0}, {30, 310, 300, 1},
  };
  for (const auto& c : cases) {
    const zan::Series s = Designed(c.step).Hold(20 * c.step, -1, 12).Skip(c.hole - c.step).Hold(20 * c.step, -1, 12).Series();
    const zan::Report r = zan::Analyse(s);
    EXPECT_DOUBLE_EQ(r.gapSeconds, c.limit) << c.step;
    EXPECT_EQ(r.gaps.size(), c.gaps) << c.step << " " << c.hole;
  }
  // Given, it holds whatever the steps.
  zan::Settings settings;
  settings.gap = 5;
  const zan::Series s = Designed(10).Hold(100, -1, 12).Series();
  EXPECT_EQ(zan::Analyse(s, settings).gaps.size(), 9u);
}

TEST(Report, ResistanceAtStepsOutOfRestAndStepsOfAFifthOfTheCurrent) {
  // Rest at 12.80 V; a 10 A discharge at 12.60 V; a step to 15 A at 12.50 V; a step of a tenth
  // to 16.5 A (no step); back to rest with a little noise; a 5 A charge at 13.10 V.
  zan::Series s = Designed()
                      .Hold(120, 0, 12.8)
                      .Hold(120, -10, 12.6)
                      .Hold(120, -15, 12.5)
                      .Hold(120, -16.5, 12.47)
                      .Hold(120, 0, 12.7)
                      .Hold(120, 0.3, 12.71)
                      .Hold(120, 0, 12.7)
                      .Hold(120, 5, 13.1)
                      .Series();
  const zan::Report r = zan::Analyse(s);
  const struct {
    double time;
    double ohm;
    double deltaA;
  } expected[] = {
      {1120, (12.6 - 12.8) / -10.0, -10},
      {1240, (12.5 - 12.6) / -5.0, -5},
      {1480, (12.7 - 12.47) / 16.5, 16.5},  // the end of a discharge is a step of its whole current
      {1840, (13.1 - 12.7) / 5.0, 5},
  };
  ASSERT_EQ(r.resistance.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_DOUBLE_EQ(r.resistance[i].time, expected[i].time) << i;
    EXPECT_NEAR(r.resistance[i].ohm, expected[i].ohm, 1e-5) << i;
    EXPECT_NEAR(r.resistance[i].deltaA, expected[i].deltaA, 1e-5) << i;
    EXPECT_EQ(r.resistance[i].after, r.resistance[i].before + 1) << i;
  }
}

TEST(Report, TheThresholdDecidesTheKind) {
  const struct {
    double current;
    double threshold;
    PhaseKind kind;
  } cases[] = {
      {0.51, 0.5, PhaseKind::kCharge},   {0.5, 0.5, PhaseKind::kRest},     {-0.5, 0.5, PhaseKind::kRest},
      {-0.51, 0.5, PhaseKind::kDischarge}, {0.0, 0.5, PhaseKind::kRest},   {1.5, 2.0, PhaseKind::kRest},
      {-2.5, 2.0, PhaseKind::kDischarge}, {0.05, 0.0, PhaseKind::kCharge},
  };
  for (const auto& c : cases) {
    zan::Settings settings;
    settings.threshold = c.threshold;
    const zan::Report r = zan::Analyse(Designed().Hold(300, c.current, 12).Series(), settings);
    ASSERT_EQ(r.phases.size(), 1u) << c.current;
    EXPECT_EQ(r.phases[0].kind, c.kind) << c.current << " against " << c.threshold;
  }
}

TEST(Report, ShortPhasesJoinTheOneBefore) {
  using K = PhaseKind;
  const struct {
    const char* what;
    Designed series;
    double minPhase;
    std::vector<K> kinds;
  } cases[] = {
      {"a short discharge inside a rest", Designed().Hold(300, 0, 12).Hold(30, -2, 12).Hold(300, 0, 12), 60, {K::kRest}},
      {"a short rest inside a discharge", Designed().Hold(300, -2, 12).Hold(30, 0, 12).Hold(300, -2, 12), 60,
       {K::kDischarge}},
      {"the same, with a shorter min_phase", Designed().Hold(300, -2, 12).Hold(30, 0, 12).Hold(300, -2, 12), 10,
       {K::kDischarge, K::kRest, K::kDischarge}},
      {"a run of exactly min_phase stays", Designed().Hold(300, -2, 12).Hold(60, 0, 12).Hold(300, 5, 12), 60,
       {K::kDischarge, K::kRest, K::kCharge}},
      {"a short rest between discharge and charge", Designed().Hold(300, -2, 12).Hold(59, 0, 12).Hold(300, 5, 12), 60,
       {K::kDischarge, K::kCharge}},
      {"flicker around the threshold", Designed().Hold(300, 0, 12).Hold(20, 0.6, 12).Hold(20, 0.4, 12).Hold(20, 0.6, 12)
                                           .Hold(20, 0.4, 12).Hold(300, 0, 12), 60, {K::kRest}},
      {"a short first phase stays, having none before", Designed().Hold(5, 0, 12).Hold(300, -2, 12), 60,
       {K::kRest, K::kDischarge}},
      {"a short last phase joins the one before", Designed().Hold(300, -2, 12).Hold(30, 0, 12), 60, {K::kDischarge}},
  };
  for (const auto& c : cases) {
    zan::Settings settings;
    settings.minPhase = c.minPhase;
    const zan::Report r = zan::Analyse(c.series.Series(), settings);
    EXPECT_EQ(Kinds(r), c.kinds) << c.what;
    // Whatever joined, the phases still tile the samples.
    for (std::size_t i = 0; i + 1 < r.phases.size(); ++i) {
      EXPECT_EQ(r.phases[i].last + 1, r.phases[i + 1].first) << c.what;
      EXPECT_DOUBLE_EQ(r.phases[i].end, r.phases[i + 1].start) << c.what;
    }
  }
}

TEST(Report, UndatedSamplesStayOutOfTheSums) {
  Designed plain;
  plain.Hold(300, -2, 12).Hold(300, 0, 12.5);
  Designed withUndated;
  withUndated.Hold(150, -2, 12).Undated(-50, 3).Undated(40, 20).Hold(150, -2, 12).Hold(300, 0, 12.5).Undated(9, 9);
  const zan::Report a = zan::Analyse(plain.Series());
  const zan::Report b = zan::Analyse(withUndated.Series());
  EXPECT_EQ(b.samples, a.samples + 3);
  EXPECT_EQ(b.undatedRows, 3u);
  ASSERT_EQ(Kinds(b), Kinds(a));
  for (std::size_t i = 0; i < a.phases.size(); ++i) {
    EXPECT_DOUBLE_EQ(b.phases[i].ah, a.phases[i].ah);
    EXPECT_DOUBLE_EQ(b.phases[i].wh, a.phases[i].wh);
    EXPECT_DOUBLE_EQ(b.phases[i].sampledSeconds, a.phases[i].sampledSeconds);
    EXPECT_DOUBLE_EQ(b.phases[i].minV, a.phases[i].minV);
    EXPECT_DOUBLE_EQ(b.phases[i].maxV, a.phases[i].maxV);
  }
  EXPECT_EQ(b.resistance.size(), a.resistance.size());
  EXPECT_DOUBLE_EQ(*b.start, *a.start);
  EXPECT_DOUBLE_EQ(*b.end, *a.end);
}

TEST(Report, OneSampleAndNone) {
  const zan::Report one = zan::Analyse(Designed().Hold(1, -1.5, 12.3).Series());
  ASSERT_EQ(one.phases.size(), 1u);
  EXPECT_EQ(one.phases[0].kind, PhaseKind::kDischarge);
  EXPECT_DOUBLE_EQ(one.phases[0].seconds, 0);
  EXPECT_DOUBLE_EQ(one.phases[0].ah, 0);
  EXPECT_FLOAT_EQ(static_cast<float>(one.phases[0].meanA), -1.5f);
  EXPECT_FLOAT_EQ(static_cast<float>(one.phases[0].endV), 12.3f);
  EXPECT_DOUBLE_EQ(*one.start, *one.end);

  const zan::Report none = zan::Analyse(zan::Series{});
  EXPECT_EQ(none.samples, 0u);
  EXPECT_TRUE(none.phases.empty());
  EXPECT_FALSE(none.start);
  EXPECT_FALSE(none.end);

  Designed onlyUndated;
  onlyUndated.Undated(1, 12).Undated(2, 12);
  const zan::Report undated = zan::Analyse(onlyUndated.Series());
  EXPECT_EQ(undated.samples, 2u);
  EXPECT_EQ(undated.undatedRows, 2u);
  EXPECT_TRUE(undated.phases.empty());
  EXPECT_FALSE(undated.start);
}

// The same test written as a memory dump and as a recording gives the same report.
TEST(Report, BothFileKinds) {
  std::string dump = "Zentrova-24 N00017\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
  std::string recording =
      "Zentrova-24 N00017\r\n\r\n"
      "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\r\n";
  // 100 s of rest, 400 s at -5 A, 100 s of rest, one row a second from 10:00:00.
  for (int k = 0; k < 600; ++k) {
    const bool on = k >= 100 && k < 500;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "05_06_2021 10:%02d:%d,00", k / 60, k % 60);
    const std::string a = on ? "-5,00" : "0,00";
    const std::string v = on ? "12,40" : "12,70";
    const std::string p = on ? "-62,00" : " 0,00";
    dump += std::string(stamp) + " \t" + a + " \t" + v + " \t 0,00\r\n";
    recording += std::string(stamp) + " \t" + a + " \t0,00 \t" + a + " \t" + a + " \t0,00 \t" + a + " \t" + v + " \t" +
                 p + " \t 0,00\r\n";
  }
  std::vector<zan::Report> reports;
  for (const std::string* file : {&dump, &recording}) {
    std::istringstream in(*file);
    zan::Series s;
    std::string error;
    ASSERT_TRUE(zan::ReadSeries(in, s, error)) << error;
    reports.push_back(zan::Analyse(s));
  }
  for (const zan::Report& r : reports) {
    ASSERT_EQ(Kinds(r), (std::vector<PhaseKind>{PhaseKind::kRest, PhaseKind::kDischarge, PhaseKind::kRest}));
    // 399 steps at 5 A and the half step into the rest.
    ExpectWithin(r.phases[1].ah, 5 * 399.5 / 3600, 0.001, "Ah");
    ExpectWithin(r.phases[1].wh, 5 * 12.4 * 399.5 / 3600, 0.001, "Wh");
    EXPECT_EQ(r.resistance.size(), 2u);
    EXPECT_NEAR(r.resistance[0].ohm, 0.3 / 5, 1e-5);
    EXPECT_EQ(zan::IsoTime(r.phases[1].start), "2021-06-05T10:01:40.00");
    EXPECT_EQ(r.device, "Zentrova-24 N00017");
  }
}

}  // namespace
