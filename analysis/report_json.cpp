#include "analysis/report_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zan {

namespace {

// Hundredths are the files' own resolution of time, volts and amperes; charges and resistances
// keep more, since they are sums and ratios of those.
constexpr int kSeconds = 2;
constexpr int kVolts = 3;
constexpr int kAmps = 4;
constexpr int kCharge = 6;
constexpr int kOhm = 6;
constexpr int kRatio = 6;

std::string String(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Time(double t) { return IsDated(t) ? String(IsoTime(t)) : "null"; }
std::string Time(const std::optional<double>& t) { return t ? Time(*t) : "null"; }

std::string Number(const std::optional<double>& v, int decimals) { return v ? JsonNumber(*v, decimals) : "null"; }

}  // namespace

std::string JsonNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "null";
  char buf[64];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return "null";
  std::string out(buf, ptr);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  if (out == "-0") out = "0";
  return out;
}

std::string ReportJson(const Report& r) {
  std::string o = "{";
  o += "\"device\":" + String(r.device);
  o += ",\"file\":" + String(r.file);
  o += ",\"samples\":" + std::to_string(r.samples);
  o += ",\"start\":" + Time(r.start);
  o += ",\"end\":" + Time(r.end);
  o += ",\"undated_rows\":" + std::to_string(r.undatedRows);
  o += ",\"phases\":[";
  for (std::size_t i = 0; i < r.phases.size(); ++i) {
    const Phase& p = r.phases[i];
    o += i == 0 ? "{" : ",{";
    o += "\"kind\":" + String(PhaseKindName(p.kind));
    o += ",\"start\":" + Time(p.start);
    o += ",\"end\":" + Time(p.end);
    o += ",\"seconds\":" + JsonNumber(p.seconds, kSeconds);
    o += ",\"sampled_seconds\":" + JsonNumber(p.sampledSeconds, kSeconds);
    o += ",\"ah\":" + JsonNumber(p.ah, kCharge);
    o += ",\"wh\":" + JsonNumber(p.wh, kCharge);
    o += ",\"mean_a\":" + JsonNumber(p.meanA, kAmps);
    o += ",\"min_v\":" + JsonNumber(p.minV, kVolts);
    o += ",\"max_v\":" + JsonNumber(p.maxV, kVolts);
    o += ",\"end_v\":" + JsonNumber(p.endV, kVolts);
    o += ",\"counter_ah\":" + Number(p.counterAh, kCharge);
    o += "}";
  }
  o += "],\"gaps\":[";
  for (std::size_t i = 0; i < r.gaps.size(); ++i) {
    const Gap& g = r.gaps[i];
    o += i == 0 ? "{" : ",{";
    o += "\"start\":" + Time(g.start);
    o += ",\"end\":" + Time(g.end);
    o += ",\"seconds\":" + JsonNumber(g.seconds, kSeconds);
    o += "}";
  }
  o += "],\"resistance\":[";
  for (std::size_t i = 0; i < r.resistance.size(); ++i) {
    const Resistance& x = r.resistance[i];
    o += i == 0 ? "{" : ",{";
    o += "\"time\":" + Time(x.time);
    o += ",\"ohm\":" + JsonNumber(x.ohm, kOhm);
    o += ",\"delta_a\":" + JsonNumber(x.deltaA, kAmps);
    o += "}";
  }
  o += "],\"totals\":{";
  o += "\"charge_ah\":" + JsonNumber(r.totals.chargeAh, kCharge);
  o += ",\"discharge_ah\":" + JsonNumber(r.totals.dischargeAh, kCharge);
  o += ",\"charge_wh\":" + JsonNumber(r.totals.chargeWh, kCharge);
  o += ",\"discharge_wh\":" + JsonNumber(r.totals.dischargeWh, kCharge);
  o += ",\"ah_efficiency\":" + Number(r.totals.ahEfficiency, kRatio);
  o += ",\"wh_efficiency\":" + Number(r.totals.whEfficiency, kRatio);
  o += "}}";
  return o;
}

}  // namespace zan
