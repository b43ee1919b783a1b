// A main window whose reply decoder is fed frames built by the test.
#pragma once

#include <string>
#include <vector>

#include "dialog/resource.h"
#include "support/dialog_fixture.h"
#include "support/reply_frames.h"

namespace ztest {

class DecodeFixture : public DialogFixture {
 protected:
  // Decodes a frame as if the reply wait had just received it.
  void Decode(const Bytes& frame) {
    Receive(*dlg, frame);
    dlg->DecodeReply();
  }
  void Language(int language) {
    dlg->m_nLanguage = language;
    dlg->UpdateData(FALSE);
  }
  void ShowStatus(const char* text) {
    dlg->m_strStatus = text;
    dlg->UpdateData(FALSE);
  }
  // Everything a reply may change, but the status line: what the controls show and the
  // members that only scaling and file names use.
  std::vector<std::string> Decodable() const {
    std::vector<std::string> v;
    for (int id : {IDC_CURRENT, IDC_VOLTAGE, IDC_POWER, IDC_CAPACITY, IDC_DATETIME, IDC_NOMINAL_VOLTAGE, IDC_RECORD_PERIOD,
                   IDC_SHUNT_MV, IDC_SHUNT_A, IDC_DEVICE_INFO}) {
      v.push_back(Text(id));
    }
    v.push_back("event box " + std::to_string(Control(IDC_EVENT_CHECK).check));
    v.push_back("mV edit " + std::to_string(Control(IDC_SHUNT_MV).enabled));
    v.push_back("A edit " + std::to_string(Control(IDC_SHUNT_A).enabled));
    for (long long n : {static_cast<long long>(dlg->m_nDeviceVersion), static_cast<long long>(dlg->m_nSerialNumber),
                        static_cast<long long>(dlg->m_nDevShuntMv), static_cast<long long>(dlg->m_nDevShuntA),
                        static_cast<long long>(dlg->m_nConfigWord), static_cast<long long>(dlg->m_nEventBits)}) {
      v.push_back(std::to_string(n));
    }
    v.push_back(dlg->m_strDeviceName.str());
    return v;
  }
};

}  // namespace ztest
