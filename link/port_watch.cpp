// The lost logger's port, watched until it comes back: a cable that slips or a hub that resets
// must not end a recording or a download. The watch holds no port between its looks and asks
// nothing of the person; the first failure of the loss has told them already.
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"
#include "platform/port_presence.h"

namespace {
constexpr Bilingual kLoggerGone{"Регистратор отключён, ожидание…", "Logger disconnected, waiting…"};
constexpr Bilingual kOtherRecording{"Подключён другой регистратор: запись остановлена",
                                    "Another logger is connected: the recording was stopped"};
constexpr Bilingual kOtherDownload{"Подключён другой регистратор: чтение памяти остановлено",
                                   "Another logger is connected: the download was stopped"};
constexpr char kCaption[] = "Error!";
constexpr UINT kWatchPeriodMs = 1000;
constexpr UINT kLivePollAfterReadMs = 300;
}  // namespace

void COrvikDlg::StartPortWatch() {
  // Only a port a logger answered on has one to wait for; a port never read is just refused.
  if (m_bPortWatch == 0) {
    if (m_strPortName.IsEmpty() || m_strPortName != m_strLoggerPort) return;
    m_bPortWatch = 1;
    m_strLostPort = m_strPortName;
    m_lostIdentity = zv::LoggerIdentity{m_nDeviceVersion, m_nSerialNumber, m_strDeviceName.str()};
  }
  SetStatus(kLoggerGone);
  UpdateData(FALSE);
  SetTimer(kTimerPortWatch, kWatchPeriodMs);
}

void COrvikDlg::StopPortWatch() {
  m_bPortWatch = 0;
  KillTimer(kTimerPortWatch);
}

bool COrvikDlg::SameLoggerAsLost() const {
  if (m_lostIdentity.version == 0 && m_lostIdentity.serialNumber == 0) return true;  // never known
  return m_nDeviceVersion == m_lostIdentity.version && m_nSerialNumber == m_lostIdentity.serialNumber;
}

void COrvikDlg::PortWatchTick() {
  if (m_bPortWatch == 0) {
    KillTimer(kTimerPortWatch);
    return;
  }
  // A download's worker that saw the loss may still be on its way out: it owns the port.
  if (m_bWorkerActive == 1) return;
  if (!zv::PortPresent(m_portAccess.serial, m_strLostPort.str())) return;
  m_strPortName = m_strLostPort;
  const int entry = BusyPortEntry();
  if (entry <= 0) return;  // the list was refilled without it: it is not listed yet
  StopWorker();
  m_portCombo.SetCurSel(entry);
  m_pszPortName = m_strPortName.GetString();
  UpdateData(FALSE);
  // The answer is the configuration's even while a download is on (no page mode: the watch is
  // still on), and a failed open stays within this loss.
  const bool replied = RunExchange(zv::Operation::kConfigurationRead, &COrvikDlg::BuildConfigRequest,
                                   wait_variants::kConfigRead, &exchange_texts::kReadingConfiguration,
                                   exchange_texts::kNoCommunication, &COrvikDlg::DecodeReply);
  if (!replied || m_nReplyResult != zv::Result::kDone || m_nReplyFunction != zv::proto::kFnReadConfig) {
    // Listed but not answering yet (an adapter still starting): look again at the next tick.
    m_portCombo.SetCurSel(0);
    StartPortWatch();
    return;
  }
  StopPortWatch();
  if (SameLoggerAsLost()) {
    ResumeAfterReturn();
  } else {
    StopOnOtherLogger();
  }
  UpdateData(FALSE);
}

void COrvikDlg::ResumeAfterReturn() {
  // A recording's poll (timer 2) and a download's tick (timer 4) were left armed and find the
  // port picked again: the recording appends after the gap, the download asks again for the
  // page it had not written. Only the live poll was stopped by the loss.
  if (m_bRecording == 0 && m_bReceiveData == 0) SetTimer(kTimerLivePoll, kLivePollAfterReadMs);
}

void COrvikDlg::StopOnOtherLogger() {
  CString text;
  if (m_bReceiveData == 1) {
    m_bReceiveData = 0;
    UpdateData(FALSE);
    StopDownload();  // closes the dump file with the lost logger's pages only; live poll again
    m_progress.SetBarColor(CLR_DEFAULT);
    m_progress.SetPos(0);
    SetStatus(kOtherDownload);
    UpdateData(FALSE);
    if (PickText(kOtherDownload, text)) MessageBox(text, kCaption, MB_OK | MB_ICONEXCLAMATION);
    EndOperation(zv::Operation::kDownload, zv::Result::kOtherLogger, text.str());
    return;
  }
  if (m_bRecording == 1) {
    StopRecording();  // closes the file before the other logger's first poll; live poll again
    SetStatus(kOtherRecording);
    UpdateData(FALSE);
    if (PickText(kOtherRecording, text)) MessageBox(text, kCaption, MB_OK | MB_ICONEXCLAMATION);
    EndOperation(zv::Operation::kRecording, zv::Result::kOtherLogger, text.str());
    return;
  }
  // Only the live poll was on: it shows the new logger as after a pick.
  SetTimer(kTimerLivePoll, kLivePollAfterReadMs);
}
