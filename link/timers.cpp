// The window timers: the live poll (1), the recording poll (2) and the erase wait (3); the
// download (4) and the port watch (5) have files of their own.
#include "dialog/orvik_dlg.h"

namespace {
constexpr Bilingual kDoNotDisconnect{"НЕ ОТКЛЮЧАЙТЕ USB !!!", "DO NOT DISCONNECT USB !!!"};
// The erase wait's limit of ticks, and the tick that means "reply read".
constexpr int kEraseWaitTicks = 300;
constexpr COLORREF kEraseBarColor = RGB(0, 0, 255);
constexpr int kEraseRangeHigh = 120;
}  // namespace

void COrvikDlg::OnTimer(UINT_PTR nIDEvent) {
  switch (nIDEvent) {
    case kTimerLivePoll:
    case kTimerRecordPoll:
      PollTick();
      break;
    case kTimerEraseWait:
      EraseWaitTick();
      break;
    case kTimerDownload:
      DownloadTick();
      break;
    case kTimerPortWatch:
      PortWatchTick();
      break;
    default:
      break;
  }
  CDialogEx::OnTimer(nIDEvent);
}

void COrvikDlg::PollTick() {
  // A download's worker or the erase wait owns the port and both frames meanwhile, whatever
  // the port list shows. The recording poll stays off as the live poll does: its exchange
  // would take their port.
  if (PortBusyElsewhere()) {
    UpdateData(FALSE);
    return;
  }
  if (PortSelection() <= 0) {
    UpdateData(FALSE);
    m_txFrame.RemoveAll();
    return;
  }
  RunExchange(zv::Operation::kPoll, &COrvikDlg::BuildMeasurementRequest, wait_variants::kLivePoll,
              &exchange_texts::kRequestPoll, exchange_texts::kNoData, &COrvikDlg::DecodeReply);
  UpdateData(FALSE);
  m_txFrame.RemoveAll();
}

void COrvikDlg::EraseWaitTick() {
  // Only a wait that holds the erase's port may look at the port and the frames.
  if (m_bEraseWaiting == 0) {
    KillTimer(kTimerEraseWait);
    return;
  }
  if (m_nProgressCount < 1) {
    m_nPrevInQueue = 0;
    m_progress.SetBarColor(kEraseBarColor);
    m_progress.SetRange(0, kEraseRangeHigh);
    UpdateData(FALSE);
    m_rxFrame.RemoveAll();
  }
  ++m_nProgressCount;
  m_nInQueue = QueryInQueue();
  if (m_nInQueue != 0) {
    if (m_nInQueue != m_nPrevInQueue) {
      m_nPrevInQueue = m_nInQueue;
    } else {
      ReadWaitingBytes();
      m_nProgressCount = kEraseWaitTicks;
    }
  }
  if (m_nProgressCount >= kEraseWaitTicks) {
    m_progress.SetPos(100);
    KillTimer(kTimerEraseWait);
    m_bEraseWaiting = 0;
    DecodeReply();
    m_progress.SetBarColor(CLR_DEFAULT);
    m_progress.SetPos(0);
    ClosePort();
    SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
    EndOperation(zv::Operation::kErase,
                 ExchangeResult(zv::Operation::kErase, true, m_rxFrame.GetSize() > 0));
  } else {
    SetStatus(kDoNotDisconnect);
    UpdateData(FALSE);
    m_progress.SetPos(m_nProgressCount);
  }
  UpdateData(FALSE);
}
