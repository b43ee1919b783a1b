// printf- and scanf-style number text that never depends on the process locale: a Russian
// locale must not turn "0.33" into "0,33", nor make "0.5" unreadable. Formats behave like the
// C library's in the "C" locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zfw {

using FormatArg = std::variant<long long, unsigned long long, double, std::string_view>;

// Formats one printf-style format string. Supports the flags "-+ 0#", a width, a precision
// (also "*" for either, taken from the next argument), the conversions d i u x X o c f F e E
// g G s and %%, and ignores the length modifiers h l ll z. Missing or mismatched arguments
// produce nothing for that conversion rather than undefined behaviour.
std::string FormatV(std::string_view fmt, const std::vector<FormatArg>& args);

namespace detail {
inline FormatArg ToArg(std::string_view v) { return v; }
inline FormatArg ToArg(const std::string& v) { return std::string_view(v); }
inline FormatArg ToArg(const char* v) { return std::string_view(v); }
inline FormatArg ToArg(double v) { return v; }
inline FormatArg ToArg(float v) { return static_cast<double>(v); }
inline FormatArg ToArg(char v) { return static_cast<long long>(v); }
inline FormatArg ToArg(signed char v) { return static_cast<long long>(v); }
inline FormatArg ToArg(short v) { return static_cast<long long>(v); }
inline FormatArg ToArg(int v) { return static_cast<long long>(v); }
inline FormatArg ToArg(long v) { return static_cast<long long>(v); }
inline FormatArg ToArg(long long v) { return v; }
inline FormatArg ToArg(unsigned char v) { return static_cast<unsigned long long>(v); }
inline FormatArg ToArg(unsigned short v) { return static_cast<unsigned long long>(v); }
inline FormatArg ToArg(unsigned int v) { return static_cast<unsigned long long>(v); }
inline FormatArg ToArg(unsigned long v) { return static_cast<unsigned long long>(v); }
inline FormatArg ToArg(unsigned long long v) { return v; }
}  // namespace detail

template <typename... Args>
std::string Format(std::string_view fmt, const Args&... args) {
  return FormatV(fmt, std::vector<FormatArg>{detail::ToArg(args)...});
}

// scanf-style scans of one value from the start of text: leading white space is skipped,
// then the longest prefix that forms a number is taken and the rest ignored. Return nothing
// when no number could be read (what scanf reports as zero conversions or EOF).
// "%d": optional sign and decimal digits; a value beyond int wraps as the C library's does.
std::optional<int> ScanInt(std::string_view text);
// "%u": as "%d"; a minus sign negates modulo 2^32.
std::optional<unsigned> ScanUnsigned(std::string_view text);
// "%lf": decimal or hexadecimal floating point with the full stop as separator, "inf",
// "infinity" and "nan" in any case, with an optional sign.
std::optional<double> ScanDouble(std::string_view text);

}  // namespace zfw
