// The one routine every exchange on the window thread ends in: entry checks, dispatch on the
// reply's function code, and the closing refresh.
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"

namespace {
constexpr Bilingual kReceiveError{"Ошибка приема", "Receive error"};
constexpr Bilingual kCrcError{"Ошибка CRC", "CRC error"};
constexpr Bilingual kSuccess{"Успешно", "Successfully"};
}  // namespace

namespace proto = zv::proto;

void COrvikDlg::ComputeScaleFactors() {
  const proto::ScaleFactors f = proto::ScaleFactorsFor(m_nDeviceVersion, m_nDevShuntA, m_nDevShuntMv);
  m_fScaleHigh = f.high;
  m_fScaleLow = f.low;
}

unsigned COrvikDlg::RxByte(std::size_t offset) const { return m_rxFrame.GetAt(static_cast<int>(offset)); }

unsigned COrvikDlg::RxWord(std::size_t offset) const {
  // High byte first; the accessor stops at the first byte the reply does not have.
  const unsigned high = RxByte(offset);
  return high << 8 | RxByte(offset + 1);
}

void COrvikDlg::DecodeReply() {
  ComputeScaleFactors();
  const int n = m_rxFrame.GetSize();
  m_nReplyFunction = -1;
  if (n < static_cast<int>(proto::kMinReplyLength)) {
    m_nReplyResult = zv::Result::kReceiveError;
    SetStatus(kReceiveError);
    UpdateData(FALSE);
  } else if (m_bReceiveData == 1 && m_bPortWatch == 0) {
    // Page mode; not for the configuration read of a watched port's return, its one exchange.
    m_nReplyResult = zv::Result::kDone;
    DecodePage();
  } else if (Crc16Modbus(m_rxFrame, n - 2) != RxByte(static_cast<std::size_t>(n - 1)) * 256 + RxByte(static_cast<std::size_t>(n - 2))) {
    m_nReplyResult = zv::Result::kCrcError;
    SetStatus(kCrcError);
    UpdateData(FALSE);
  } else {
    m_nReplyResult = zv::Result::kDone;
    m_nReplyFunction = static_cast<int>(RxByte(proto::kFunctionOffset));
    try {
      switch (m_nReplyFunction) {
        case proto::kFnReadInput:
          DecodeMeasurement();
          break;
        case proto::kFnWriteRegisters:
          SetStatus(kSuccess);
          UpdateData(FALSE);
          break;
        case proto::kFnReadConfig:
          SetStatus(kSuccess);
          UpdateData(FALSE);
          DecodeConfiguration();
          break;
        default:
          // The configuration write's own code and exception replies change nothing.
          break;
      }
    } catch (const CInvalidArgException&) {
      // Decoding stops at the first missing byte; what was stored before it stays. The
      // caller's clean-up (closing the port, re-arming its timer) still runs.
      m_nReplyResult = zv::Result::kReceiveError;
      SetStatus(exchange_texts::kIncompleteReply);
    }
  }
  UpdateData(FALSE);
}
