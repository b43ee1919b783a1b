// The device operations the person asks for: the configuration read that follows the choice
// of a port, Set configuration, Synchronize clocks and Erase data.
#include "dialog/orvik_dlg.h"
#include "link/protocol.h"
#include "platform/clock.h"

namespace {
constexpr Bilingual kEraseConfirm{"Все СОХРАННЕНЫЕ ДАННЫЕ \r\nбудут СТЁРТЫ!!!", "All SAVED DATA \r\nthere are ERASED !!!"};
constexpr Bilingual kEraseCaption{"ВНИМАНИЕ!!!", "ATTENTION!!!"};
// There is no English form of this text.
constexpr char kErasing[] = "Стирание данных памяти";
// The configuration read starts the live poll at this period, whatever m_nPollPeriodMs says.
constexpr UINT kLivePollAfterReadMs = 300;
constexpr UINT kEraseWaitTickMs = 500;
constexpr UINT kBetweenClockAttemptsMs = 300;
}  // namespace

void COrvikDlg::ReadConfiguration() {
  if (PortBusyElsewhere()) return;
  const bool replied = RunExchange(zv::Operation::kConfigurationRead, &COrvikDlg::BuildConfigRequest,
                                   wait_variants::kConfigRead, &exchange_texts::kReadingConfiguration,
                                   exchange_texts::kNoCommunication, &COrvikDlg::DecodeReply);
  if (replied) {
    SetTimer(kTimerLivePoll, kLivePollAfterReadMs);
  } else {
    m_portCombo.SetCurSel(0);
  }
  UpdateData(FALSE);
}

void COrvikDlg::OnBnClickedSetConfig() {
  UpdateData(TRUE);
  if (PortSelection() <= 0) {
    SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
    return;
  }
  // Another exchange owns the port: nothing is sent, and whoever owns it re-arms the poll.
  if (PortBusyElsewhere()) return;
  ApplyRecordPeriod();
  KillTimer(kTimerLivePoll);
  RunExchange(zv::Operation::kSetConfiguration, &COrvikDlg::BuildConfigWrite, wait_variants::kConfigWrite,
              &exchange_texts::kRequest, exchange_texts::kNoCommunication, &COrvikDlg::DecodeReply);
  SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
}

void COrvikDlg::OnBnClickedSyncClock() {
  KillTimer(kTimerLivePoll);
  // Both attempts send the time taken now, however long the first one takes.
  const zv::LocalTime now = Clock().Now();
  m_nClockYear = now.year - 2000;
  m_nClockMonth = now.month;
  m_nClockDay = now.day;
  m_nClockHour = now.hour;
  m_nClockMinute = now.minute;
  m_nClockSecond = now.second;
  if (PortSelection() <= 0 || PortBusyElsewhere()) return;

  m_txFrame.RemoveAll();
  OpenPort();
  const bool portOpened = static_cast<bool>(m_hPort);
  BuildClockWrite(zv::proto::kClockRegister);
  SendFrame(m_txFrame);
  SetStatus(exchange_texts::kRecordingData);
  UpdateData(FALSE);
  const bool first = WaitReply(wait_variants::kClockWrite);
  Clock().Sleep(kBetweenClockAttemptsMs);
  bool second = false;
  if (first) {
    DecodeReply();
  } else {
    // Loggers of another generation take the clock at register 5; the port stays open.
    m_txFrame.RemoveAll();
    BuildClockWrite(zv::proto::kClockRegisterAlt);
    SendFrame(m_txFrame);
    SetStatus(exchange_texts::kRecordingData);
    UpdateData(FALSE);
    second = WaitReply(wait_variants::kClockWrite);
    if (!second) {
      SetStatus(exchange_texts::kNoData);
      UpdateData(FALSE);
    }
  }
  UpdateData(FALSE);
  ClosePort();
  SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
  // The second attempt's reply is not decoded: that it came is the logger's answer.
  EndOperation(zv::Operation::kSyncClock,
               second && portOpened ? zv::Result::kDone : ExchangeResult(zv::Operation::kSyncClock, portOpened, first));
}

void COrvikDlg::OnBnClickedErase() {
  KillTimer(kTimerLivePoll);
  if (PortSelection() <= 0 || m_bEraseWaiting != 0) return;  // an erase already waits: ask nothing
  CString text;
  CString caption;
  int answer = IDCANCEL;
  if (PickText(kEraseConfirm, text) && PickText(kEraseCaption, caption)) {
    answer = MessageBox(text, caption, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
  }
  UpdateData(FALSE);
  if (answer != IDOK) {
    SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
    UpdateData(FALSE);
    EndOperation(zv::Operation::kErase, zv::Result::kCancelled);
    return;
  }
  if (PortBusyElsewhere()) return;
  m_txFrame.RemoveAll();
  OpenPort();
  if (!m_hPort) {
    // Nothing was sent, so there is nothing to wait for: the erase ends at once as a wait
    // without a reply would, and nothing shows a wait that holds no port.
    m_rxFrame.RemoveAll();
    DecodeReply();
    SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
    EndOperation(zv::Operation::kErase, ExchangeResult(zv::Operation::kErase, false, false));
    return;
  }
  SetTimer(kTimerEraseWait, kEraseWaitTickMs);
  BuildEraseCommand();
  SendFrame(m_txFrame);
  m_strStatus = kErasing;
  m_nProgressCount = 0;
  // The port stays open for the erase wait, which closes it at its last tick.
  m_bEraseWaiting = 1;
}
