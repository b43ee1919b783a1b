#include "framework/numfmt.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

namespace zfw {
namespace {

struct Spec {
  bool left = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  bool alt = false;
  int width = -1;
  int precision = -1;
  bool wide = false;  // an l, ll, z or j length modifier
  char conv = 0;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

long long AsSigned(const FormatArg& a) {
  if (auto* v = std::get_if<long long>(&a)) return *v;
  if (auto* v = std::get_if<unsigned long long>(&a)) return static_cast<long long>(*v);
  if (auto* v = std::get_if<double>(&a)) return static_cast<long long>(*v);
  return 0;
}

unsigned long long AsUnsigned(const FormatArg& a, bool wide) {
  unsigned long long v = 0;
  if (auto* s = std::get_if<long long>(&a)) v = static_cast<unsigned long long>(*s);
  else if (auto* u = std::get_if<unsigned long long>(&a)) v = *u;
  else if (auto* d = std::get_if<double>(&a)) v = static_cast<unsigned long long>(*d);
  return wide ? v : static_cast<unsigned int>(v);
}

double AsDouble(const FormatArg& a) {
  if (auto* d = std::get_if<double>(&a)) return *d;
  if (auto* s = std::get_if<long long>(&a)) return static_cast<double>(*s);
  if (auto* u = std::get_if<unsigned long long>(&a)) return static_cast<double>(*u);
  return 0.0;
}

// Pads body (which starts with its sign, if any, signLen characters long) to the width.
void Emit(std::string& out, const Spec& s, const std::string& body, std::size_t signLen, bool zeroAllowed) {
  const std::size_t width = s.width > 0 ? static_cast<std::size_t>(s.width) : 0;
  if (body.size() >= width) {
    out += body;
  } else if (s.left) {
    out += body;
    out.append(width - body.size(), ' ');
  } else if (s.zero && zeroAllowed) {
    out.append(body, 0, signLen);
    out.append(width - body.size(), '0');
    out.append(body, signLen, std::string::npos);
  } else {
    out.append(width - body.size(), ' ');
    out += body;
  }
}

std::string SignPrefix(bool negative, const Spec& s) {
  if (negative) return "-";
  if (s.plus) return "+";
  if (s.space) return " ";
  return "";
}

void FormatInteger(std::string& out, const Spec& s, const FormatArg& arg) {
  bool negative = false;
  unsigned long long magnitude = 0;
  int base = 10;
  bool upper = false;
  if (s.conv == 'd' || s.conv == 'i') {
    long long v = AsSigned(arg);
    if (!s.wide) v = static_cast<int>(v);
    negative = v < 0;
    magnitude = negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  } else {
    magnitude = AsUnsigned(arg, s.wide);
    if (s.conv == 'x' || s.conv == 'X') base = 16;
    if (s.conv == 'o') base = 8;
    upper = s.conv == 'X';
  }
  char buf[72];
  auto res = std::to_chars(buf, buf + sizeof buf, magnitude, base);
  std::string digits(buf, res.ptr);
  if (upper) {
    for (char& c : digits) {
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (s.precision >= 0) {
    if (s.precision == 0 && magnitude == 0) digits.clear();
    if (digits.size() < static_cast<std::size_t>(s.precision)) {
      digits.insert(0, static_cast<std::size_t>(s.precision) - digits.size(), '0');
    }
  }
  std::string prefix = (s.conv == 'd' || s.conv == 'i') ? SignPrefix(negative, s) : "";
  if (s.alt && magnitude != 0) {
    if (base == 16) prefix += upper ? "0X" : "0x";
    if (base == 8 && (digits.empty() || digits[0] != '0')) digits.insert(0, "0");
  }
  Emit(out, s, prefix + digits, prefix.size(), s.precision < 0);
}

void FormatFloating(std::string& out, const Spec& s, const FormatArg& arg) {
  const double v = AsDouble(arg);
  const bool negative = std::signbit(v);
  const double magnitude = std::fabs(v);
  const bool upper = s.conv == 'F' || s.conv == 'E' || s.conv == 'G';
  std::string digits;
  bool finite = std::isfinite(v);
  if (!finite) {
    digits = std::isnan(v) ? "nan" : "inf";
  } else {
    const int precision = s.precision < 0 ? 6 : s.precision;
    std::chars_format fmt = std::chars_format::fixed;
    if (s.conv == 'e' || s.conv == 'E') fmt = std::chars_format::scientific;
    if (s.conv == 'g' || s.conv == 'G') fmt = std::chars_format::general;
    char buf[512];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, fmt, precision);
    digits.assign(buf, res.ec == std::errc() ? res.ptr : buf);
    if (s.alt && digits.find('.') == std::string::npos && precision > 0 && fmt != std::chars_format::general) {
      const auto e = digits.find('e');
      digits.insert(e == std::string::npos ? digits.size() : e, ".");
    }
  }
  if (upper) {
    for (char& c : digits) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  const std::string prefix = SignPrefix(negative, s);
  Emit(out, s, prefix + digits, prefix.size(), finite);
}

}  // namespace

std::string FormatV(std::string_view fmt, const std::vector<FormatArg>& args) {
  std::string out;
  std::size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    Spec s;
    std::size_t j = i + 1;
    for (; j < fmt.size(); ++j) {
      const char f = fmt[j];
      if (f == '-') s.left = true;
      else if (f == '+') s.plus = true;
      else if (f == ' ') s.space = true;
      else if (f == '0') s.zero = true;
      else if (f == '#') s.alt = true;
      else break;
    }
    if (j < fmt.size() && fmt[j] == '*') {
      const FormatArg* a = take();
      const long long w = a ? AsSigned(*a) : 0;
      if (w < 0) s.left = true;
      s.width = static_cast<int>(w < 0 ? -w : w);
      ++j;
    } else {
      for (; j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9'; ++j) {
        s.width = (s.width < 0 ? 0 : s.width) * 10 + (fmt[j] - '0');
      }
    }
    if (j < fmt.size() && fmt[j] == '.') {
      ++j;
      s.precision = 0;
      if (j < fmt.size() && fmt[j] == '*') {
        const FormatArg* a = take();
        const long long p = a ? AsSigned(*a) : 0;
        s.precision = p < 0 ? -1 : static_cast<int>(p);
        ++j;
      } else {
        for (; j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9'; ++j) s.precision = s.precision * 10 + (fmt[j] - '0');
      }
    }
    for (; j < fmt.size() && (fmt[j] == 'h' || fmt[j] == 'l' || fmt[j] == 'z' || fmt[j] == 'j'); ++j) {
      if (fmt[j] != 'h') s.wide = true;
    }
    if (j >= fmt.size()) break;
    s.conv = fmt[j];
    i = j;
    const FormatArg* arg = take();
    if (arg == nullptr) continue;
    switch (s.conv) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        FormatInteger(out, s, *arg);
        break;
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        FormatFloating(out, s, *arg);
        break;
      case 'c':
        Emit(out, s, std::string(1, static_cast<char>(AsSigned(*arg))), 0, false);
        break;
      case 's': {
        std::string_view sv;
        if (auto* p = std::get_if<std::string_view>(arg)) sv = *p;
        if (s.precision >= 0 && sv.size() > static_cast<std::size_t>(s.precision)) sv = sv.substr(0, static_cast<std::size_t>(s.precision));
        Emit(out, s, std::string(sv), 0, false);
        break;
      }
      default:
        break;
    }
  }
  return out;
}

namespace {

// Skips white space and reads an optional sign; returns the position of the first digit.
std::size_t SkipSpaceAndSign(std::string_view t, bool& negative) {
  std::size_t i = 0;
  while (i < t.size() && IsSpace(t[i])) ++i;
  negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  return i;
}

// Reads decimal digits into an unsigned 64-bit value, saturating; nothing if none.
std::optional<unsigned long long> Digits(std::string_view t, std::size_t i, bool& overflow) {
  overflow = false;
  if (i >= t.size() || t[i] < '0' || t[i] > '9') return std::nullopt;
  unsigned long long v = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    const unsigned d = static_cast<unsigned>(t[i] - '0');
    if (v > (ULLONG_MAX - d) / 10) {
      overflow = true;
      v = ULLONG_MAX;
    } else if (!overflow) {
      v = v * 10 + d;
    }
  }
  return v;
}

bool StartsWithSign(std::string_view t) { return !t.empty() && (t[0] == '+' || t[0] == '-'); }

bool StartsWithNoCase(std::string_view t, std::string_view word) {
  if (t.size() < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    char c = t[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[k]) return false;
  }
  return true;
}

}  // namespace

std::optional<int> ScanInt(std::string_view text) {
  bool negative = false;
  bool overflow = false;
  const auto v = Digits(text, SkipSpaceAndSign(text, negative), overflow);
  if (!v) return std::nullopt;
  // Like strtol: saturate to the range of a 64-bit long, then narrow to int.
  long long wide = 0;
  if (negative) {
    wide = (overflow || *v > static_cast<unsigned long long>(LLONG_MAX) + 1ULL) ? LLONG_MIN : static_cast<long long>(0ULL - *v);
  } else {
    wide = (overflow || *v > static_cast<unsigned long long>(LLONG_MAX)) ? LLONG_MAX : static_cast<long long>(*v);
  }
  return static_cast<int>(static_cast<unsigned int>(static_cast<unsigned long long>(wide)));
}

std::optional<unsigned> ScanUnsigned(std::string_view text) {
  bool negative = false;
  bool overflow = false;
  const auto v = Digits(text, SkipSpaceAndSign(text, negative), overflow);
  if (!v) return std::nullopt;
  unsigned long long wide = overflow ? ULLONG_MAX : *v;
  if (negative && !overflow) wide = 0ULL - wide;
  return static_cast<unsigned>(wide);
}

std::optional<double> ScanDouble(std::string_view text) {
  bool negative = false;
  std::size_t i = SkipSpaceAndSign(text, negative);
  const std::string_view rest = text.substr(i);
  // std::from_chars takes a minus sign of its own: a second sign would slip through it.
  if (StartsWithSign(rest)) return std::nullopt;
  const double sign = negative ? -1.0 : 1.0;
  if (StartsWithNoCase(rest, "inf")) return sign * std::numeric_limits<double>::infinity();
  if (StartsWithNoCase(rest, "nan")) return sign * std::numeric_limits<double>::quiet_NaN();
  double value = 0.0;
  std::from_chars_result res{};
  const char* begin = rest.data();
  const char* end = rest.data() + rest.size();
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    // "0x" without hexadecimal digits after it (a sign there included) reads as 0.
    if (StartsWithSign(rest.substr(2))) return sign * 0.0;
    res = std::from_chars(begin + 2, end, value, std::chars_format::hex);
    if (res.ec == std::errc::invalid_argument) return sign * 0.0;
  } else {
    res = std::from_chars(begin, end, value, std::chars_format::general);
  }
  if (res.ec == std::errc::invalid_argument) return std::nullopt;
  if (res.ec == std::errc::result_out_of_range) {
    const std::string_view token(begin, static_cast<std::size_t>(res.ptr - begin));
    const bool tiny = token.find("e-") != std::string_view::npos || token.find("E-") != std::string_view::npos ||
                      token.find("p-") != std::string_view::npos || token.find("P-") != std::string_view::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return sign * value;
}

}  // namespace zfw
