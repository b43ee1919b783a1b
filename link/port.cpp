// Opening, configuring, writing to and closing the device's port; the frame CRC.
#include <cstdio>
#include <string>

#include "dialog/orvik_dlg.h"
#include "link/crc16.h"

namespace {
constexpr Bilingual kNoPortSelected{"Не выбран порт", "No port selected"};
constexpr Bilingual kOpenFailed{"Ошибка открытия порта", "Error opening port"};
constexpr char kErrorCaption[] = "Error!";
constexpr uint32_t kBaudRate = 921600;
// A denied open is nearly always a user outside the serial devices' group, which a new group
// membership only reaches at the next login.
constexpr char kAccessHint[] =
    "; to get access, join the dialout group (sudo usermod -aG dialout \"$USER\") and log out and in again";
}  // namespace

WORD COrvikDlg::Crc16Modbus(const CByteArray& data, int count) const {
  // Frames are at most 255 bytes: only the count's low byte is used.
  const int n = count & 0xFF;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) bytes.push_back(data.GetAt(i));
  return zv::Crc16ModbusBytes(bytes.data(), bytes.size());
}

void COrvikDlg::OpenPort() {
  CString text;
  if (PortSelection() <= 0) {
    if (PickText(kNoPortSelected, text)) MessageBox(text, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    UpdateData(FALSE);
    return;
  }
  std::string why;
  if (!OpenPortHandle(m_pszPortName != nullptr ? m_pszPortName : "", why)) ReportOpenFailure(why);
}

bool COrvikDlg::OpenPortHandle(const std::string& name, std::string& why) {
  m_ovRead = OVERLAPPED{};
  m_ovWrite = OVERLAPPED{};
  zv::PortError error;
  HANDLE port;
  if (m_portAccess.serial != nullptr) {
    error = m_portAccess.serial->Open(name, port);
  } else {
    error = zv::PortError{zv::PortErrorKind::kNotFound, 0, "open " + name + ": no serial ports on this machine"};
  }
  if (!port) {
    // A port that another exchange holds stays with it; only a new open replaces m_hPort.
    why = error.message;
    if (error.kind == zv::PortErrorKind::kPermissionDenied) why += kAccessHint;
    return false;
  }
  m_hPort = std::move(port);
  // Parity and stop bits stay as the port reports them; the rest is the device's line.
  m_hPort->GetSettings(m_dcb);
  m_dcb.byteSize = 8;
  m_dcb.baudRate = kBaudRate;
  m_dcb.binary = true;
  m_dcb.dtrControl = zv::LineControl::kEnable;
  m_dcb.rtsControl = zv::LineControl::kEnable;
  m_hPort->SetSettings(m_dcb);
  return true;
}

void COrvikDlg::ReportOpenFailure(const std::string& why) {
  // The box is the design's; why the open failed goes to standard error.
  std::fprintf(stderr, "zentrova: %s\n", why.c_str());
  KillTimer(kTimerLivePoll);
  if (m_bPortWatch != 0) {
    // The same loss, seen again while its port is watched: told once already.
    m_portCombo.SetCurSel(0);
    StartPortWatch();
    return;
  }
  CString text;
  if (PickText(kOpenFailed, text)) MessageBox(text, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
  UpdateData(FALSE);
  m_portCombo.SetCurSel(0);
  UpdateData(FALSE);
  m_bLoggerLost = 1;
  m_events.Send([&](zv::IWindowEvents& o) { o.OnLoggerLost(why); });
  StartPortWatch();
}

void COrvikDlg::ClosePort() { m_hPort.reset(); }

void COrvikDlg::SendFrame(const CByteArray& frame) {
  if (!m_hPort) return;
  const std::size_t length = static_cast<std::size_t>(frame.GetSize()) & 0xFF;
  std::size_t written = 0;
  m_hPort->Write(frame.GetData(), length, written);
  m_dwBytesWritten = static_cast<DWORD>(written);
}
