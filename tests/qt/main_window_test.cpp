// The real main window on the Qt view: COrvikDlg on a window thread of its own, Qt on this one.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <memory>
#include <thread>

#include "app/icon.h"
#include "dialog/dialog_template.h"
#include "dialog/orvik_dlg.h"
#include "dialog/resource.h"
#include "framework/environment.h"
#include "framework/qt/qt_view.h"
#include "framework/winapp.h"
#include "link/crc16.h"
#include "platform/clock.h"
#include "platform/scripted_port.h"
#include "qt_test_support.h"

namespace {

using zfw::testing::ProcessUntil;

class MainWindowOnQt : public ::testing::Test {
 protected:
  void SetUp() override {
    view = std::make_unique<zfw::QtView>(std::map<HICON, QIcon>{{IDR_MAINFRAME, ZentrovaIcon()}});
    zfw::SetEnvironment(zfw::Environment{view.get(), &clock});
    windowThread = std::thread([this] {
      COrvikDlg dlg(PortAccess{&ports, &table, {}});
      result = dlg.DoModal();
    });
    ASSERT_TRUE(ProcessUntil([&] { return view->Window() != nullptr && view->Window()->isVisible(); }));
  }
  void TearDown() override {
    if (view->Window() != nullptr) view->Window()->close();  // the close box
    EXPECT_TRUE(ProcessUntil([&] { return finished(); }));
    windowThread.join();
    EXPECT_EQ(result, IDCANCEL);
    zfw::SetEnvironment(zfw::Environment{});
  }
  bool finished() const { return result != -2; }
  QString LabelText(int id) const { return static_cast<QLabel*>(view->Widget(id))->text(); }
  QLineEdit* Edit(int id) const { return static_cast<QLineEdit*>(view->Widget(id)); }
  QComboBox* PortList() const { return static_cast<QComboBox*>(view->Widget(IDC_PORT)); }
  // Keys as the window system delivers them: to the window, which hands them to the focus.
  void Type(const QString& text) const {
    for (const QChar ch : text) {
      for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, ch.toUpper().unicode(), Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(view->Window()->windowHandle(), &e);
      }
    }
  }
  // Gives a control the focus as a click would.
  void ClickInto(int id) const { view->Widget(id)->setFocus(Qt::MouseFocusReason); }
  // Requests of function code among everything the logger was sent.
  std::size_t Requests(const zv::ScriptedDevice& device, uint8_t code) const {
    std::size_t n = 0;
    for (const auto& frame : device.Written()) n += frame.size() > 1 && frame[1] == code ? 1 : 0;
    return n;
  }
  QString ButtonText(int id) const { return static_cast<QAbstractButton*>(view->Widget(id))->text(); }

  CWinApp app{"zentrova"};
  zv::SteadyClock clock;
  zv::ScriptedSerialBackend ports;
  zv::FixedPortTable table{{"/dev/ttyLOGGER"}};
  std::unique_ptr<zfw::QtView> view;
  std::thread windowThread;
  std::atomic<intptr_t> result{-2};
};

TEST_F(MainWindowOnQt, ShowsTheWindowAtItsFixedSizeWithEveryControlInPlace) {
  QWidget* window = view->Window();
  EXPECT_EQ(window->windowTitle(), "Zentrova");
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
  const QRect client = view->MapDialogRect(CRect{0, 0, 225, 294});
  EXPECT_EQ(window->size(), client.size());
  for (int id : {IDC_RECEIVE, IDC_SET_CONFIG, IDC_LANGUAGE, IDC_RECORD_PERIOD, IDC_PROGRESS, IDC_STATUS}) {
    const zfw::DialogItem* item = MainDialogTemplate().Find(id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(view->Widget(id)->geometry(), view->MapDialogRect(item->rect)) << "control " << id;
  }
  EXPECT_EQ(LabelText(IDC_CAP_PORT), "Порт");
  EXPECT_EQ(ButtonText(IDC_LANGUAGE), "РУС/eng");
  EXPECT_FALSE(view->Widget(IDC_SHUNT_A)->isEnabled());

  const QPixmap shot = window->grab();
  EXPECT_FALSE(shot.isNull());
  shot.save("/tmp/zentrova-main-window.png");
}

TEST_F(MainWindowOnQt, AClickOnTheLanguageToggleReachesItsHandler) {
  static_cast<QAbstractButton*>(view->Widget(IDC_LANGUAGE))->click();
  ASSERT_TRUE(ProcessUntil([&] { return ButtonText(IDC_LANGUAGE) == "рус/ENG"; }));
  EXPECT_TRUE(ProcessUntil([&] { return LabelText(IDC_CAP_PORT) == "Port"; }));
  EXPECT_EQ(ButtonText(IDC_SET_CONFIG), "Set configuration");
  EXPECT_TRUE(static_cast<QAbstractButton*>(view->Widget(IDC_LANGUAGE))->isChecked());
  EXPECT_FALSE(finished()) << "the window stays open";
}

// A register reply of the logger: address, code, byte count, registers high byte first, CRC.
std::vector<uint8_t> RegisterReply(uint8_t code, const std::vector<uint16_t>& registers) {
  std::vector<uint8_t> f{0x01, code, static_cast<uint8_t>(2 * registers.size())};
  for (uint16_t r : registers) {
    f.push_back(static_cast<uint8_t>(r >> 8));
    f.push_back(static_cast<uint8_t>(r & 0xFF));
  }
  const uint16_t crc = zv::Crc16ModbusBytes(f.data(), f.size());
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

TEST_F(MainWindowOnQt, PickingThePortReadsTheLoggerAndShowsLiveReadings) {
  // Version 110, serial 123, 50 mV / 300 A, 24 V, 0.33 s; then 12.00 V and 10.00 A on the
  // low range at 14:05:09.5 on 7 March 2015.
  const auto config = RegisterReply(0x64, {110, 123, 50, 300, 24, 33, 0, 0, 0, 0});
  const auto live = RegisterReply(0x04, {0, 0, 1000, 0, 0, 100, 2500, 0, 0, 0, 0, 9500, 14 << 8 | 5, 3 << 8 | 7, 15, 0, 0});
  ports.AddDevice("/dev/ttyLOGGER")->SetResponder([config, live](const std::vector<uint8_t>& request) {
    return zv::ScriptedReply{request.at(1) == 0x64 ? config : live, {}};
  });
  auto* combo = static_cast<QComboBox*>(view->Widget(IDC_PORT));
  ASSERT_TRUE(ProcessUntil([&] { return combo->count() == 2; }));
  combo->setCurrentIndex(1);
  emit combo->activated(1);  // the person's pick

  ASSERT_TRUE(ProcessUntil([&] { return LabelText(IDC_DEVICE_INFO) == "Verion_0110\nZentrova-24 N00123"; }));
  const auto text = [&](int id) { return static_cast<QLineEdit*>(view->Widget(id))->text(); };
  ASSERT_TRUE(ProcessUntil([&] { return LabelText(IDC_STATUS) == "Данные приняты"; }));
  EXPECT_TRUE(ProcessUntil([&] { return text(IDC_VOLTAGE) == "12.00"; }));
  EXPECT_EQ(text(IDC_CURRENT), "10.00");
  EXPECT_EQ(text(IDC_POWER), "120.00");
  EXPECT_EQ(text(IDC_DATETIME), "07_03_2015 14:05:9.50");
}

// Version 8, serial 123, 50 mV / 300 A, 24 V, 0.33 s; readings of the low range.
const auto kConfigV8 = RegisterReply(0x64, {8, 123, 50, 300, 24, 33, 0, 0, 0, 0});
// The logger's bare answer to a configuration write: address, code, CRC.
const std::vector<uint8_t> kConfigWritten = [] {
  std::vector<uint8_t> f{0x01, 0x65};
  const uint16_t crc = zv::Crc16ModbusBytes(f.data(), f.size());
  f.push_back(static_cast<uint8_t>(crc & 0xFF));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}();
const auto kLiveV8 = RegisterReply(0x04, {0, 0, 1000, 0, 0, 100, 2500, 0, 0, 0, 0, 9500, 14 << 8 | 5, 3 << 8 | 7, 15, 0, 0});

TEST_F(MainWindowOnQt, ARatingTypedWhileTheLoggerIsPolledIsTheOneSetConfigurationSends) {
  auto device = ports.AddDevice("/dev/ttyLOGGER");
  device->SetResponder([](const std::vector<uint8_t>& request) {
    switch (request.at(1)) {
      case 0x64: return zv::ScriptedReply{kConfigV8, {}};
      case 0x04: return zv::ScriptedReply{kLiveV8, {}};
      default: return zv::ScriptedReply{kConfigWritten, {}};
    }
  });
  ASSERT_TRUE(ProcessUntil([&] { return PortList()->count() == 2; }));
  PortList()->setCurrentIndex(1);
  emit PortList()->activated(1);
  ASSERT_TRUE(ProcessUntil([&] { return Edit(IDC_SHUNT_MV)->isEnabled(); }));

  ClickInto(IDC_SHUNT_MV);
  Edit(IDC_SHUNT_MV)->selectAll();
  Type("75");
  const std::size_t polls = Requests(*device, 0x04);
  ASSERT_TRUE(ProcessUntil([&] { return Requests(*device, 0x04) >= polls + 3; }));
  EXPECT_EQ(Edit(IDC_SHUNT_MV)->text(), "75");

  static_cast<QAbstractButton*>(view->Widget(IDC_SET_CONFIG))->click();
  ASSERT_TRUE(ProcessUntil([&] { return Requests(*device, 0x65) == 1; }));
  for (const auto& frame : device->Written()) {
    if (frame.at(1) != 0x65) continue;
    ASSERT_EQ(frame.size(), 17u);
    EXPECT_EQ(frame[11] << 8 | frame[12], 75);
    EXPECT_EQ(frame[13] << 8 | frame[14], 300);
  }
  EXPECT_EQ(Edit(IDC_SHUNT_MV)->text(), "75");
}

TEST_F(MainWindowOnQt, APortNameTypedIntoTheListAndLeftReadsNothing) {
  auto device = ports.AddDevice("/dev/ttyLOGGER");
  device->SetResponder([](const std::vector<uint8_t>&) { return zv::ScriptedReply{kConfigV8, {}}; });
  ASSERT_TRUE(ProcessUntil([&] { return PortList()->count() == 2; }));

  ClickInto(IDC_PORT);
  PortList()->lineEdit()->selectAll();
  Type("/dev/ttyLOGGER");
  ClickInto(IDC_POLL_PERIOD);
  // The language toggle's news comes after whatever leaving the list sent.
  static_cast<QAbstractButton*>(view->Widget(IDC_LANGUAGE))->click();
  ASSERT_TRUE(ProcessUntil([&] { return LabelText(IDC_CAP_PORT) == "Port"; }));

  EXPECT_TRUE(device->Written().empty());
  EXPECT_EQ(device->OpenCount(), 0);
  EXPECT_EQ(PortList()->lineEdit()->text(), "/dev/ttyLOGGER");
}

}  // namespace
