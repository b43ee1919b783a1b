// The sysfs table against a tree of folders and links laid out as the kernel lays out
// /sys/class/tty, in a temporary folder; the last test reads this machine's own.

#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sysfs_port_table.h"
#include "port_table_reading.h"

namespace zv {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using testing::ReadEntries;

// One entry of the fake /sys/class/tty: no device at all (a console, a pseudo-terminal),
// a device without a driver link, or a device bound to the named driver, reached directly
// or, as Linux 6.5 and later lay out serial core ports, through a port and its controller.
struct TtyEntry {
  std::string name;
  bool hasDevice = true;
  std::optional<std::string> driver;
  bool serialCore = false;
};

class FakeSysfs {
 public:
  FakeSysfs() {
    char pattern[] = "/tmp/zentrova-sysfs-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made != nullptr) base_ = made;
  }
  ~FakeSysfs() {
    std::error_code ignored;
    if (!base_.empty()) fs::remove_all(base_, ignored);
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  bool ok() const { return !base_.empty(); }
  std::string Root() const { return (base_ / "class" / "tty").string(); }
  // The serial core gives its ttys a type attribute: the UART's kind, 0 when none is fitted.
  void SetType(const std::string& name, const std::string& type) {
    std::ofstream(base_ / "class" / "tty" / name / "type") << type;
  }
  // A /dev of its own, for nodes whose opening the tests can see.
  std::string DevRoot() const { return (base_ / "dev").string(); }

  // Laid out as the kernel does: the class entry's device link leads to a device folder,
  // whose driver link leads to the driver's folder.
  void Add(const TtyEntry& e) {
    const fs::path entry = base_ / "class" / "tty" / e.name;
    fs::create_directories(entry);
    if (!e.hasDevice) return;
    const fs::path device = base_ / "devices" / (e.name + "-device");
    fs::create_directories(device);
    if (e.driver) Bind(device, "drivers", *e.driver);
    if (!e.serialCore) {
      fs::create_directory_symlink(device, entry / "device");
      return;
    }
    const fs::path controller = device / (e.name + "-ctrl");
    const fs::path port = controller / (e.name + "-port");
    fs::create_directories(port);
    Bind(controller, "serial-base", "ctrl");
    Bind(port, "serial-base", "port");
    fs::create_directory_symlink(port, entry / "device");
  }

 private:
  // Links device to the driver of that name on the bus, and to the bus as its subsystem.
  void Bind(const fs::path& device, const std::string& bus, const std::string& driver) {
    const fs::path busPath = base_ / "bus" / bus;
    fs::create_directories(busPath / "drivers" / driver);
    fs::create_directory_symlink(busPath / "drivers" / driver, device / "driver");
    fs::create_directory_symlink(busPath, device / "subsystem");
  }

  fs::path base_;
};

class SysfsPortTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sysfs_.ok()) << "no temporary folder"; }

  void AddAll(const std::vector<TtyEntry>& entries) {
    for (const TtyEntry& e : entries) sysfs_.Add(e);
  }

  SysfsPortTable Table() { return SysfsPortTable(sysfs_.Root(), "/dev"); }

  FakeSysfs sysfs_;
};

TEST_F(SysfsPortTableTest, DevicesOnlyInNaturalOrderNamedByTheirDevPath) {
  AddAll({
      {"tty0", false, {}},
      {"tty63", false, {}},
      {"console", false, {}},
      {"ptmx", false, {}},
      {"ttyUSB10", true, "ftdi_sio"},
      {"ttyUSB9", true, "ftdi_sio"},
      {"ttyUSB0", true, "cp210x"},
      {"ttyACM1", true, "cdc_acm"},
      {"ttyAMA0", true, "uart-pl011"},
      {"ttyS2", true, "dw-apb-uart"},
      {"ttyS10", true, "dw-apb-uart"},
      {"ttyS1", true, "dw-apb-uart"},
      {"ttyGS0", true, {}},  // a device with no driver bound is still a device
  });
  SysfsPortTable table = Table();
  std::string why;
  ASSERT_TRUE(table.Open(&why)) << why;
  EXPECT_EQ(ReadEntries(table), (Names{"/dev/ttyACM1", "/dev/ttyAMA0", "/dev/ttyGS0", "/dev/ttyS1",
                                       "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB9",
                                       "/dev/ttyUSB10"}));
}

TEST_F(SysfsPortTableTest, An8250SlotIsListedOnlyWhenItsUartIsThere) {
  AddAll({
      {"ttyS0", true, "serial8250"},
      {"ttyS1", true, "serial8250"},
      {"ttyS2", true, "serial8250"},
      {"ttyS3", true, "serial8250"},
      {"ttyS4", true, "serial"},  // a driver of another name: its type does not matter
      {"ttyS5", true, "serial8250", true},
      {"ttyS6", true, "serial8250", true},
      {"ttyS7", true, "serial", true},
      {"ttyUSB0", true, "ftdi_sio"},
  });
  const std::pair<const char*, const char*> types[] = {
      {"ttyS0", "4\n"}, {"ttyS1", "0\n"}, {"ttyS2", "0\n"}, {"ttyS3", "1\n"},
      {"ttyS4", "0\n"}, {"ttyS5", "0\n"}, {"ttyS6", "4\n"}, {"ttyS7", "0\n"},
  };
  for (const auto& [name, type] : types) sysfs_.SetType(name, type);
  SysfsPortTable table = Table();
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(ReadEntries(table),
            (Names{"/dev/ttyS0", "/dev/ttyS3", "/dev/ttyS4", "/dev/ttyS6", "/dev/ttyS7", "/dev/ttyUSB0"}));
}

// Opening a UART raises its DTR and RTS, and a port the user may not open, or one another
// program holds, is still a port the user should see: the table tells an 8250 slot without
// a UART from its type attribute and opens nothing.
TEST_F(SysfsPortTableTest, UartsAreToldFromTheirTypeWithoutOpeningAnyPort) {
  AddAll({
      {"ttyS0", true, "serial8250"},
      {"ttyS1", true, "serial8250"},
      {"ttyS2", true, "serial8250", true},
      {"ttyS3", true, "serial8250", true},
      {"ttyS4", true, "serial8250"},  // no type to tell by: shown rather than hidden
      {"ttyS5", true, "serial8250"},
      {"ttyS6", true, "serial8250"},
      {"ttyUSB0", true, "ftdi_sio"},
  });
  const std::pair<const char*, const char*> types[] = {
      {"ttyS0", "4\n"}, {"ttyS1", "0\n"}, {"ttyS2", "4\n"}, {"ttyS3", "0\n"}, {"ttyS5", "0"}, {"ttyS6", "16550A\n"},
  };
  for (const auto& [name, type] : types) sysfs_.SetType(name, type);
  const fs::path dev = sysfs_.DevRoot();
  fs::create_directories(dev);
  for (const char* node : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS4", "ttyS5", "ttyUSB0"}) {
    std::ofstream(dev / node) << "";
  }
  fs::permissions(dev / "ttyS0", fs::perms::none);  // listed, though nobody but root may open it
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dev.c_str(), IN_OPEN), 0);

  SysfsPortTable table(sysfs_.Root(), dev.string());
  ASSERT_TRUE(table.Open());
  const std::string d = dev.string() + "/";
  EXPECT_EQ(ReadEntries(table), (Names{d + "ttyS0", d + "ttyS2", d + "ttyS4", d + "ttyS6", d + "ttyUSB0"}));

  alignas(inotify_event) char events[4096];
  Names opened;
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
    for (char* p = events; p < events + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(p);
      opened.push_back(e->len > 0 ? e->name : "?");
      p += sizeof(inotify_event) + e->len;
    }
  }
  ::close(watch);
  EXPECT_EQ(opened, Names{}) << "no port is opened to list it";
}

TEST_F(SysfsPortTableTest, EntriesAreReadFromTheSnapshotOfTheLastOpen) {
  AddAll({{"ttyUSB0", true, "ftdi_sio"}, {"ttyUSB1", true, "ftdi_sio"}});
  SysfsPortTable table(sysfs_.Root(), "/devices/serial");
  ASSERT_TRUE(table.Open());
  sysfs_.Add({"ttyACM0", true, "cdc_acm"});  // plugged in after the open

  // "/devices/serial/ttyUSB0" is 23 bytes and its zero a 24th.
  struct Case {
    std::size_t index;
    std::size_t capacity;
    PortEntryResult result;
  };
  const Case cases[] = {
      {0, 24, PortEntryResult::kOk},     {0, 23, PortEntryResult::kTooLong},
      {1, 0, PortEntryResult::kTooLong}, {2, 1024, PortEntryResult::kNoMore},
      {99, 0, PortEntryResult::kNoMore},
  };
  for (const Case& c : cases) {
    std::string name = "untouched";
    EXPECT_EQ(table.ReadEntry(c.index, c.capacity, name), c.result) << c.index << "/" << c.capacity;
    EXPECT_EQ(name, c.result == PortEntryResult::kOk ? "/devices/serial/ttyUSB" + std::to_string(c.index)
                                                     : std::string("untouched"));
  }

  table.Close();
  EXPECT_EQ(ReadEntries(table), Names{}) << "closed: nothing";
  ASSERT_TRUE(table.Open());
  EXPECT_EQ(ReadEntries(table),
            (Names{"/devices/serial/ttyACM0", "/devices/serial/ttyUSB0", "/devices/serial/ttyUSB1"}));
}

TEST_F(SysfsPortTableTest, AFolderThatCannotBeListedFailsTheOpenWithTheReason) {
  const std::string missing = sysfs_.Root() + "-missing";
  SysfsPortTable table(missing, "/dev");
  std::string why;
  EXPECT_FALSE(table.Open(&why));
  EXPECT_EQ(why, "list serial ports in " + missing + ": No such file or directory");
  EXPECT_EQ(ReadEntries(table), Names{});
  EXPECT_FALSE(table.Open()) << "the reason is optional";

  // An empty folder is a table with no ports, not a failure.
  AddAll({{"tty0", false, {}}});
  SysfsPortTable empty(sysfs_.Root(), "/dev");
  ASSERT_TRUE(empty.Open(&why));
  EXPECT_EQ(ReadEntries(empty), Names{});
}

// The machine's own table, whatever it holds: it opens where sysfs is mounted, and every
// name is a /dev path with nothing after its zero.
TEST(MakeSysfsPortTable, ReadsThisMachinesTable) {
  if (::access("/sys/class/tty", R_OK) != 0) GTEST_SKIP() << "no /sys/class/tty here";
  const auto table = MakeSysfsPortTable();
  std::string why;
  ASSERT_TRUE(table->Open(&why)) << why;
  for (const std::string& name : ReadEntries(*table)) {
    EXPECT_EQ(name.rfind("/dev/", 0), 0u) << name;
    EXPECT_EQ(name.find('\0'), std::string::npos) << name;
    EXPECT_NE(name, "/dev/tty0") << "virtual consoles have no device";
  }
  table->Close();
}

}  // namespace
}  // namespace zv
