#include "platform/sysfs_port_table.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string_view>
#include <utility>

#include "platform/serial_port.h"

namespace zv {

namespace {

constexpr char kPlaceholderDriver[] = "serial8250";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The next run of digits or of non-digits in s from pos.
std::string_view NextRun(std::string_view s, std::size_t& pos) {
  const std::size_t start = pos;
  const bool digits = IsDigit(s[pos]);
  while (pos < s.size() && IsDigit(s[pos]) == digits) ++pos;
  return s.substr(start, pos - start);
}

// Text runs compare as text, digit runs as numbers of any length: ttyS2 < ttyS10.
bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    std::string_view x = NextRun(a, i);
    std::string_view y = NextRun(b, j);
    if (IsDigit(x[0]) && IsDigit(y[0])) {
      const auto significant = [](std::string_view d) {
        const std::size_t nz = d.find_first_not_of('0');
        return nz == std::string_view::npos ? std::string_view() : d.substr(nz);
      };
      const std::string_view xs = significant(x);
      const std::string_view ys = significant(y);
      if (xs.size() != ys.size()) return xs.size() < ys.size();
      if (xs != ys) return xs < ys;
    } else if (x != y) {
      return x < y;
    }
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return a < b;  // the same but for leading zeros (ttyS01, ttyS1): text order keeps them apart
}

// The last component of a link's target; empty when path is not a link.
std::string LinkBaseName(const std::string& path) {
  char target[4096];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
  std::string_view t(target, static_cast<std::size_t>(n));
  while (t.size() > 1 && t.back() == '/') t.remove_suffix(1);
  const std::size_t slash = t.rfind('/');
  return std::string(slash == std::string_view::npos ? t : t.substr(slash + 1));
}

// The driver of the UART behind a tty's device link. Since Linux 6.5 the serial core puts a
// port device (bus serial-base) and its controller between the tty and the UART's own
// device, so the driver that names the UART is two levels above the link's target.
std::string UartDriver(const std::string& device) {
  if (LinkBaseName(device + "/subsystem") == "serial-base") return LinkBaseName(device + "/../../driver");
  return LinkBaseName(device + "/driver");
}

// The serial core tells the kind of UART behind a tty in its type attribute, 0 when the slot
// has none. Asking the port itself would mean opening it, which raises DTR and RTS on a real
// UART and fails on a port the user may not open. Without the attribute the slot is taken
// for a port: better one listed that does not open than a real one hidden.
bool IsEmptyUartSlot(const std::string& entry) {
  std::ifstream in(entry + "/type");
  std::string type;
  return static_cast<bool>(in >> type) && type == "0";
}

}  // namespace

SysfsPortTable::SysfsPortTable(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

bool SysfsPortTable::Open(std::string* error) {
  names_.clear();
  DIR* dir = ::opendir(sysfsRoot_.c_str());
  if (dir == nullptr) {
    if (error != nullptr) *error = ErrorFromErrno(errno, "list serial ports in", sysfsRoot_).message;
    return false;
  }
  std::vector<std::string> entries;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    entries.push_back(name);
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), NaturalLess);

  for (const std::string& entry : entries) {
    const std::string device = sysfsRoot_ + "/" + entry + "/device";
    struct stat st{};
    if (::stat(device.c_str(), &st) != 0) continue;  // a console or a pseudo-terminal
    const std::string devPath = devRoot_ + "/" + entry;
    if (UartDriver(device) == kPlaceholderDriver && IsEmptyUartSlot(sysfsRoot_ + "/" + entry)) continue;
    names_.push_back(devPath);
  }
  return true;
}

PortEntryResult SysfsPortTable::ReadEntry(std::size_t index, std::size_t capacity, std::string& name) {
  return ReadListedEntry(names_, index, capacity, name);
}

void SysfsPortTable::Close() { names_.clear(); }

std::unique_ptr<IPortTable> MakeSysfsPortTable() { return std::make_unique<SysfsPortTable>(); }

}  // namespace zv
