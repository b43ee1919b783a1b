// The request/reply exchange: the poll delay and the reply wait with its stability rule (a
// count unchanged over one poll interval), woken by the port rather than by polling it.
#include <cstdint>
#include <vector>

#include "dialog/orvik_dlg.h"
#include "link/protocol.h"

DWORD COrvikDlg::DelayMs(UINT ms) {
  // Sleeps on the monotonic clock rather than spinning: same timing, no core burnt. As with a
  // wrapping tick counter, an end that wraps past the maximum ends the delay at once.
  zv::IClock& clock = Clock();
  const uint32_t start = clock.TickCount();
  const uint32_t end = start + ms;
  for (;;) {
    const uint32_t now = clock.TickCount();
    if (now > end || now < start) break;  // past the end, or the counter wrapped
    clock.Sleep(static_cast<uint32_t>(static_cast<uint64_t>(end) - now + 1));
  }
  return 0;
}

int COrvikDlg::QueryInQueue() {
  if (!m_hPort) return 0;
  zv::QueueStatus status;
  const zv::PortError error = m_hPort->QueryStatus(status);
  m_dwCommErrors = 0;
  m_comStat.cbInQue = status.inQueue;
  m_comStat.cbOutQue = status.outQueue;
  if (error.kind == zv::PortErrorKind::kHangUp) m_lastWaitError = error;
  return error.ok() ? static_cast<int>(status.inQueue) : 0;
}

bool COrvikDlg::AwaitMoreInput(UINT delayMs) {
  // One poll interval is the delay plus the tick a delay waits past its end, so a silent
  // port is given up after the same time as when each poll slept its delay.
  if (!m_hPort) {
    DelayMs(delayMs);
    m_nInQueue = 0;
    return true;
  }
  uint32_t waiting = 0;
  const zv::PortError error = m_hPort->WaitForInput(static_cast<std::size_t>(m_nPrevInQueue), delayMs + 1, waiting);
  m_dwCommErrors = 0;
  m_comStat.cbInQue = waiting;
  if (error.kind == zv::PortErrorKind::kHangUp) {
    // The device is gone: no reply can come, so the wait does not run out its limit.
    m_lastWaitError = error;
    m_nInQueue = 0;
    return false;
  }
  if (!error.ok()) {
    // A port that cannot be asked finds nothing waiting, at the pace of a poll.
    DelayMs(delayMs);
    waiting = 0;
  }
  m_nInQueue = static_cast<int>(waiting);
  return true;
}

void COrvikDlg::ReadWaitingBytes() {
  // One read for all the counted bytes; the bytes taken are exactly the counted ones, and
  // bytes that arrived after the count stay in the port for later.
  std::vector<uint8_t> buffer(static_cast<std::size_t>(m_nInQueue));
  std::size_t got = 0;
  while (m_hPort && got < buffer.size()) {
    std::size_t n = 0;
    m_hPort->Read(buffer.data() + got, buffer.size() - got, n);
    if (n == 0) break;
    got += n;
  }
  m_nReadCount = static_cast<int>(got);
  m_dwBytesRead = static_cast<DWORD>(got);
  if (got > 0) m_rxByte = buffer[got - 1];
  m_rxFrame.Append(buffer.data(), got);
}

bool COrvikDlg::WaitReply(const WaitVariant& variant) {
  int counter = 0;
  m_nPrevInQueue = 0;
  m_rxFrame.RemoveAll();
  m_lastWaitError = {};
  while (counter < variant.limit) {
    // Woken by the port as soon as bytes beyond the last count come; a count that stays the
    // same over a whole interval is a reply that has stopped growing.
    if (!AwaitMoreInput(variant.delayMs)) return false;
    if (m_nInQueue == 0) {
      ++counter;
    } else if (m_nInQueue != m_nPrevInQueue) {
      // Still arriving: remember the count and look again.
      m_nPrevInQueue = m_nInQueue;
      if (variant.countChanged) ++counter;
    } else {
      ReadWaitingBytes();
      counter = variant.successMark;
    }
  }
  return counter >= variant.successMark;
}

bool COrvikDlg::RunExchange(zv::Operation operation, void (COrvikDlg::*build)(), const WaitVariant& variant,
                            const Bilingual* openingText, const Bilingual& timeoutText, void (COrvikDlg::*onReply)()) {
  m_txFrame.RemoveAll();
  m_lastWaitError = {};
  OpenPort();
  const bool portOpened = static_cast<bool>(m_hPort);
  (this->*build)();
  SendFrame(m_txFrame);
  if (openingText != nullptr) SetStatus(*openingText);
  UpdateData(FALSE);
  // A lost logger's port that did not open has no reply to wait for: the watch waits for it.
  const bool lostAndGone = !portOpened && m_bPortWatch != 0;
  if (lostAndGone) m_rxFrame.RemoveAll();
  const bool replied = !lostAndGone && WaitReply(variant);
  if (replied) {
    if (onReply != nullptr) (this->*onReply)();
  } else {
    SetStatus(timeoutText);
    UpdateData(FALSE);
  }
  UpdateData(FALSE);
  ClosePort();
  EndOperation(operation, ExchangeResult(operation, portOpened, replied));
  if (PortHungUp() && !replied) {
    // The device went away under the exchange: the loss is told now, not at the next open.
    ReportOpenFailure(m_lastWaitError.message);
  } else if (!portOpened && m_bPortWatch != 0) {
    StartPortWatch();  // the status line says why nothing answered: the logger is gone
  }
  return replied;
}

zv::Result COrvikDlg::ExchangeResult(zv::Operation operation, bool portOpened, bool replied) const {
  if (!portOpened) return zv::Result::kPortError;
  if (!replied) return zv::Result::kNoReply;
  if (m_nReplyResult != zv::Result::kDone) return m_nReplyResult;
  // A reply that passed its checks but answers another request (an exception reply, say)
  // changed nothing: the operation did not get what it asked for.
  int expected = -1;
  switch (operation) {
    case zv::Operation::kConfigurationRead: expected = zv::proto::kFnReadConfig; break;
    case zv::Operation::kSetConfiguration: expected = zv::proto::kFnWriteConfig; break;
    case zv::Operation::kSyncClock:
    case zv::Operation::kErase: expected = zv::proto::kFnWriteRegisters; break;
    case zv::Operation::kPoll: expected = zv::proto::kFnReadInput; break;
    default: break;
  }
  return m_nReplyFunction == expected ? zv::Result::kDone : zv::Result::kReceiveError;
}
