// The configuration reply: identity, shunt rating, nominal voltage and the configuration
// word; and the event check box that keeps the word's event bit.
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"

namespace proto = zv::proto;
namespace reg = zv::proto::config;

void COrvikDlg::DecodeConfiguration() {
  // Fields are stored as they are read: a reply cut short keeps what came before the cut.
  const auto word = [this](std::size_t r) { return RxWord(proto::RegisterOffset(r)); };
  m_nDeviceVersion = static_cast<int>(word(reg::kVersion));
  m_nSerialNumber = static_cast<int>(word(reg::kSerial));

  switch (m_nDeviceVersion) {
    case proto::kVersion8:
      m_nShuntMillivolts = m_nDevShuntMv = word(reg::kShuntMillivolts);
      m_nShuntAmps = m_nDevShuntA = word(reg::kShuntAmps);
      m_editShuntMillivolts.EnableWindow(TRUE);
      m_editShuntAmps.EnableWindow(TRUE);
      break;
    case proto::kVersion210:
      m_nShuntAmps = m_nDevShuntA = word(reg::kShuntAmps);
      m_editShuntMillivolts.EnableWindow(FALSE);
      m_editShuntAmps.EnableWindow(FALSE);
      break;
    case proto::kVersion110:
    case proto::kVersion120:
    default:
      // Versions 110 and 120 work with the fixed rating. A logger that reports none is read with
      // it as well, as at start: a rating kept from a logger read before would scale its currents.
      m_nShuntMillivolts = m_nDevShuntMv = proto::kFixedShuntMillivolts;
      m_nShuntAmps = m_nDevShuntA = proto::kFixedShuntAmps;
      m_editShuntMillivolts.EnableWindow(FALSE);
      m_editShuntAmps.EnableWindow(FALSE);
      break;
  }

  m_nNominalVoltage = word(reg::kNominalVoltage);
  m_nConfigWord = static_cast<int>(word(reg::kConfigWord));
  m_fRecordPeriod = static_cast<float>(m_nConfigWord & proto::kPeriodMask) / 100.0f;
  m_bEventRecord = (m_nConfigWord & proto::kEventFlag) != 0 ? 1 : 0;
  m_nEventBits = m_bEventRecord << proto::kEventFlagShift;

  m_strDeviceName = "Zentrova-" + zfw::Format("%2d", static_cast<int>(m_nNominalVoltage)) + " N" +
                    zfw::Format("%05d", m_nSerialNumber);
  m_strDeviceInfo = "Verion_" + zfw::Format("%04d", m_nDeviceVersion) + "\r\n" + m_strDeviceName;
}

void COrvikDlg::OnBnClickedEventCheck() {
  UpdateData(TRUE);
  m_nEventBits = m_bEventRecord << proto::kEventFlagShift;
}
