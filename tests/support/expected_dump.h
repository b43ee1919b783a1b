// The memory dump file as the tests expect it, worked out here from the records' fields with
// a formatter of the tests' own (never with the program's page code), and the 16 bytes of a
// logged record as the logger keeps them.
#pragma once

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace ztest {

// One logged record, field by field.
struct Logged {
  int16_t current = 0;
  int16_t voltage = 0;
  int32_t charge = 0;
  uint16_t milliseconds = 0;  // within the minute
  uint8_t minute = 0;
  uint8_t hour = 0;
  uint8_t day = 1;
  uint8_t month = 1;
  uint8_t yearByte = 0;  // year - 2000; 255 is an erased slot
  uint8_t rangeFlag = 0;
};

using Record16 = std::array<uint8_t, 16>;

// Low byte first; the charge is its high word then its low word, each low byte first.
inline Record16 RecordBytes(const Logged& r) {
  const auto cur = static_cast<uint16_t>(r.current);
  const auto volt = static_cast<uint16_t>(r.voltage);
  const auto charge = static_cast<uint32_t>(r.charge);
  const auto high = static_cast<uint16_t>(charge >> 16);
  const auto low = static_cast<uint16_t>(charge & 0xFFFF);
  return {static_cast<uint8_t>(cur), static_cast<uint8_t>(cur >> 8), static_cast<uint8_t>(volt),
          static_cast<uint8_t>(volt >> 8), static_cast<uint8_t>(high), static_cast<uint8_t>(high >> 8),
          static_cast<uint8_t>(low), static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(r.milliseconds),
          static_cast<uint8_t>(r.milliseconds >> 8), r.minute, r.hour, r.day, r.month, r.yearByte, r.rangeFlag};
}

// The current-scale factors: amperes at 5000 counts, high range and low range.
struct Factors {
  float high = 0.0f;
  float low = 0.0f;
};

// From the version and the shunt rating the program works with.
inline Factors FactorsFor(int version, uint32_t amps, uint32_t millivolts) {
  if (version == 10) {
    const uint32_t k = ((amps * 75u) / millivolts) / 4u;
    return {static_cast<float>(k), static_cast<float>(k) / 10.0f};
  }
  if (version == 210) return {static_cast<float>(amps), static_cast<float>(amps) / 20.0f};
  return {static_cast<float>(amps), static_cast<float>(millivolts)};
}

// printf's "%<width>.2f" with a point whatever the locale: pad fills the width on the left
// (zeros go after a minus sign).
inline std::string Fixed2(double value, std::size_t width, char pad = ' ') {
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
  std::string s(buf, result.ptr);
  if (s.size() < width) {
    const std::size_t at = pad == '0' && s.front() == '-' ? 1 : 0;
    s.insert(at, width - s.size(), pad);
  }
  return s;
}

inline std::string Digits(int value, std::size_t width) {
  std::string s = std::to_string(value);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s;
}

// The raw value times its factor in single precision, over 5000 in double, back to single.
inline float Scaled(float raw, float factor) {
  return static_cast<float>(static_cast<double>(raw * factor) / 5000.0);
}

// "DD_MM_YYYY HH:MM:S.SS", with a point.
inline std::string Stamp(const Logged& r) {
  const float seconds = static_cast<float>(r.milliseconds) / 1000.0f;
  return Digits(r.day, 2) + "_" + Digits(r.month, 2) + "_" + Digits(2000 + r.yearByte, 4) + " " + Digits(r.hour, 2) +
         ":" + Digits(r.minute, 2) + ":" + Fixed2(seconds, 2, '0');
}

// One dump row, CR LF included, every "." made ",".
inline std::string Row(const Logged& r, Factors f, uint32_t nominalVoltage) {
  const float current = Scaled(static_cast<float>(r.current), r.rangeFlag != 0 ? f.high : f.low);
  const float voltage = Scaled(static_cast<float>(r.voltage), static_cast<float>(nominalVoltage));
  const float charge = Scaled(static_cast<float>(r.charge), f.low);
  std::string row = Stamp(r) + " \t" + Fixed2(current, 3) + " \t" + Fixed2(voltage, 3) + " \t" + Fixed2(charge, 5) + "\r\n";
  for (char& c : row) {
    if (c == '.') c = ',';
  }
  return row;
}

inline std::string DumpHeader(const std::string& deviceName) {
  return deviceName + "\r\n\r\ntime\t Iab, A\t Uab, V\t Qab, Ah\r\n";
}

// ---- files ----------------------------------------------------------------------------------

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWhole(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Whether this process holds the file open.
inline bool OpenInThisProcess(const std::filesystem::path& path) {
#if defined(_WIN32)
  // No per-process list of handles to look through: an open that shares nothing fails while
  // anyone holds the file, and the tests' files are their own. (No windows.h here: its names
  // clash with the window layer's.)
  int fd = -1;
  if (_wsopen_s(&fd, path.wstring().c_str(), _O_RDONLY | _O_BINARY, _SH_DENYRW, 0) != 0) return errno == EACCES;
  _close(fd);
  return false;
#else
  std::error_code ec;
  const auto wanted = std::filesystem::weakly_canonical(path, ec);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    const auto target = std::filesystem::read_symlink(entry.path(), linkError);
    if (!linkError && target == wanted) return true;
  }
  return false;
#endif
}

// A folder of its own for one test's files, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
#if defined(_WIN32)
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = std::filesystem::temp_directory_path() / ("zentrova-files-" + std::to_string(random()));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "zentrova-files-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Whether a file error's text gives the system's reason for a folder that does not exist, as
// the system words it: errno's text, or the Win32 message (wine's and Windows' own).
inline bool SaysNoSuchFolder(const std::string& text) {
  for (const char* reason : {"No such file or directory", "Path not found", "cannot find the path"}) {
    if (text.find(reason) != std::string::npos) return true;
  }
  return false;
}

}  // namespace ztest
