// A main window with a scripted logger behind one port: the port is picked through the
// selection handler, and the logger answers each request by its function code.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dialog/resource.h"
#include "support/dialog_fixture.h"
#include "support/reply_frames.h"

namespace ztest {

// The requests, byte for byte.
inline const Bytes kConfigRequest{0x01, 0x64, 0x00, 0x00, 0x00, 0x0A, 0xF0, 0x05};
inline const Bytes kMeasurementRequest{0x01, 0x04, 0x00, 0x00, 0x00, 0x11, 0x30, 0x06};
inline const Bytes kEraseCommand{0x01, 0x10, 0x00, 0x14, 0x00, 0x02, 0x02, 0x00, 0x00, 0xA5, 0x00};

// What a logger of version 8 says about itself and reads, in the replies below.
inline const Configuration kLoggerConfig{.version = 8, .serial = 123, .shuntMillivolts = 50, .shuntAmps = 300,
                                         .nominalVoltage = 24, .word = 0x0021};
inline const Measurement kLoggerReadings{.i50Rms = 1234, .voltage = 5000, .charge = -314, .milliseconds = 9500,
                                         .hour = 14, .minute = 5, .month = 3, .day = 7, .year = 15};

class LoggerFixture : public DialogFixture {
 protected:
  static constexpr char kPort[] = "/dev/ttyLOGGER";

  void SetUp() override {
    DialogFixture::SetUp();
    device = ports.AddDevice(kPort);
  }

  // Picks an entry of the port list as the person would; the entry is added first when the
  // list does not hold it.
  void Pick(const std::string& name) {
    const auto& items = Control(IDC_PORT).items;
    const auto it = std::find(items.begin(), items.end(), name);
    const int index = it != items.end() ? static_cast<int>(it - items.begin()) : dlg->m_portCombo.AddString(name.c_str());
    PickIndex(index);
  }
  void PickIndex(int index) {
    zfw::InputEvent e;
    e.kind = zfw::InputEvent::Kind::kComboSelect;
    e.id = IDC_PORT;
    e.index = index;
    Input(e);
  }
  void English() {
    Click(IDC_LANGUAGE);
    ASSERT_EQ(dlg->m_nLanguage, 1);
  }
  void ReceiveToggle(int on) {
    dlg->m_bReceiveData = on;
    dlg->UpdateData(FALSE);
  }

  // A logger that answers: its configuration, its readings, an acknowledgement of every
  // register write and a bare acknowledgement of a configuration write.
  void Answering(const Configuration& config = kLoggerConfig, const Measurement& readings = kLoggerReadings) {
    device->SetResponder([config, readings](const Bytes& request) -> zv::ScriptedReply {
      switch (request.at(1)) {
        case 0x64:
          return {ConfigurationReply(config), {}};
        case 0x04:
          return {MeasurementReply(readings), {}};
        case 0x10:
          return {Acknowledgement(static_cast<uint16_t>(request.at(2) << 8 | request.at(3)),
                                  static_cast<uint16_t>(request.at(4) << 8 | request.at(5))),
                  {}};
        case 0x65:
          return {Sealed({0x01, 0x65}), {}};
        default:
          return {};
      }
    });
  }

  std::vector<std::string> StatusHistory() const { return view.TextHistory(IDC_STATUS); }

  std::shared_ptr<zv::ScriptedDevice> device;
};

}  // namespace ztest
