// The memory download: the receive-data toggle, the download timer and the worker thread that
// reads the logger's memory page by page into the dump file.
//
// Threads: the window thread starts and stops the download and owns every bound member and
// control. While a worker runs (m_bWorkerActive 1) it owns the port and the exchange members
// (m_hPort, m_txFrame, m_rxFrame, the receive-loop counters, m_nMemAddress, m_nProgressCount);
// the window thread stays off them (PortBusyElsewhere) and touches them again only after
// joining the worker. The worker never touches a bound member: it hands texts, the progress
// and the end of the download to the window thread with PostToWindow.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "dialog/orvik_dlg.h"
#include "link/protocol.h"
#include "memory/page.h"
#include "platform/thread_priority.h"

namespace {
constexpr Bilingual kReadingMemory{"Чтение Памяти ", "Reading Memory "};
constexpr COLORREF kDownloadBarColor = RGB(0, 255, 0);
constexpr UINT kDownloadTickMs = 1000;
constexpr UINT kLivePollMs = 300;
}  // namespace

void COrvikDlg::OnReceiveData() {
  UpdateData(TRUE);
  if (m_bReceiveData == 1) {
    // No port, or the erase wait holds it: the toggle springs back and nothing else happens.
    if (PortSelection() <= 0 || m_bEraseWaiting != 0) {
      m_bReceiveData = 0;
      UpdateData(FALSE);
      return;
    }
    KillTimer(kTimerLivePoll);
    StartDownload();
  } else {
    // Switching off works whatever the port list shows.
    const bool armed = Loop().TimerPeriod(kTimerDownload).has_value();
    KillTimer(kTimerLivePoll);
    StopDownload();
    if (armed) EndOperation(zv::Operation::kDownload, zv::Result::kCancelled);
  }
}

void COrvikDlg::StartDownload() {
  m_strFileError.clear();
  if (!CreateDumpFile()) {
    m_nPollPeriodMs = static_cast<int>(kLivePollMs);
    SetTimer(kTimerLivePoll, kLivePollMs);
    m_bReceiveData = 0;
    UpdateData(FALSE);
    EndOperation(zv::Operation::kDownload, m_strFileError.empty() ? zv::Result::kCancelled : zv::Result::kFileError,
                 m_strFileError);
    return;
  }
  ++m_nDownloadNumber;
  m_nPollPeriodMs = static_cast<int>(kDownloadTickMs);
  m_nMemAddress = 0;
  m_nProgressCount = 0;
  m_progress.SetBarColor(kDownloadBarColor);
  m_progress.SetRange32(0, static_cast<int>(zv::proto::MemoryPagesForVersion(m_nDeviceVersion)));
  UpdateData(FALSE);
  SetTimer(kTimerDownload, static_cast<UINT>(m_nPollPeriodMs));
}

void COrvikDlg::StopDownload() {
  StopWorker();
  CloseDumpFile();
  KillTimer(kTimerDownload);
  m_nPollPeriodMs = static_cast<int>(kLivePollMs);
  SetTimer(kTimerLivePoll, kLivePollMs);
}

void COrvikDlg::StopWorker() {
  m_bReadPages = 0;
  if (m_pDownloadThread && m_pDownloadThread->joinable()) m_pDownloadThread->join();
  m_pDownloadThread.reset();
}

void COrvikDlg::DownloadTick() {
  if (m_bWorkerActive == 1) return;
  // A worker's port was lost and the list went back to "no": wait for the person to pick
  // the port again (or switch the download off) instead of failing every second.
  if (PortSelection() <= 0) return;
  StopWorker();  // joins the worker that ended after a missing page
  if (PortHungUp()) {
    // Its port hung up: the logger that answers there now may be another one, so this is a
    // loss like a failed open, and the watch reads who it is before any page is asked for.
    const std::string why = m_lastWaitError.message;
    m_lastWaitError = {};
    ReportOpenFailure(why);
    return;
  }
  // The last page is read and the news that ends the download is on its way.
  if (m_nMemAddress > zv::mem::LastPageAddress(m_nDeviceVersion)) return;
  DownloadJob job;
  job.download = m_nDownloadNumber;
  job.portName = m_strPortName.str();
  job.deviceVersion = m_nDeviceVersion;
  job.factors = zv::proto::ScaleFactorsFor(m_nDeviceVersion, m_nDevShuntA, m_nDevShuntMv);
  job.nominalVoltage = m_nNominalVoltage;
  job.language = m_nLanguage;
  m_lastWaitError = {};
  m_bWorkerActive = 1;
  m_bReadPages = 1;
  m_pDownloadThread = std::make_unique<std::thread>(&COrvikDlg::MemoryReadThread, this, job);
}

void COrvikDlg::MemoryReadThread(DownloadJob job) {
  zv::RaiseCurrentThreadPriority();
  std::string why;
  if (!OpenPortHandle(job.portName, why)) {
    // Ends as a missing page does; the window tells why.
    PostDownloadNews(job.download, [this, why] {
      ShowDownloadStatus(exchange_texts::kNoData);
      ReportOpenFailure(why);  // its status line, that the logger is gone, is the last word
    });
  } else {
    ReadPages(job);
    ClosePort();
  }
  m_bWorkerActive = 0;
}

void COrvikDlg::PostDownloadNews(int download, std::function<void()> news) {
  PostToWindow([this, download, news = std::move(news)] {
    if (download == m_nDownloadNumber && m_bReceiveData == 1) news();
  });
}

void COrvikDlg::ReadPages(const DownloadJob& job) {
  // Pipelined: as soon as a page is whole the next one is asked for, and the finished page's
  // rows are written while the next arrives, so the line never idles for the disk. The
  // rows of a page go out in one write: a crash loses at most the page being written, which
  // the next download asks for again.
  const int lastAddress = zv::mem::LastPageAddress(job.deviceVersion);
  if (m_bReadPages != 0) SendPageRequest(m_nMemAddress);
  while (m_bReadPages != 0) {
    if (!WaitPage()) {
      if (m_bReadPages == 0) break;  // switched off meanwhile
      PostDownloadNews(job.download, [this] {
        ShowDownloadStatus(exchange_texts::kNoData);
        if (m_bReceiveData == 1) m_events.Send([](zv::IWindowEvents& o) { o.OnPageMissing(); });
      });
      break;
    }
    const int next = m_nMemAddress + zv::proto::kPageAddressStep;
    const bool last = next > lastAddress;
    // No request past the end of the memory, and none once switched off.
    if (!last && m_bReadPages != 0) SendPageRequest(next);
    PageProgress progress;
    std::string why;
    if (!WriteMemoryPage(job, progress, why)) {
      PostDownloadNews(job.download, [this, why] { EndDownloadOnFileError(why); });
      break;
    }
    ++m_nProgressCount;
    progress.pages = m_nProgressCount;
    m_nMemAddress = next;
    PostDownloadNews(job.download, [this, progress, last] { ShowPageProgress(progress, last); });
    if (last) break;
  }
}

void COrvikDlg::SendPageRequest(int address) {
  // The finished page is whole in m_rxFrame; whatever came beyond it must not open the next.
  DiscardWaitingBytes();
  const int current = m_nMemAddress;
  m_nMemAddress = address;
  BuildPageRequest();
  m_nMemAddress = current;
  SendFrame(m_txFrame);
  m_txFrame.RemoveAll();
}

bool COrvikDlg::WriteMemoryPage(const DownloadJob& job, PageProgress& progress, std::string& why) {
  const bool ok = WritePageRows(m_rxFrame.GetData(), job.factors, job.nominalVoltage, false, progress.lastStamp, why);
  progress.percent = zv::mem::ProgressPercent(m_nMemAddress, job.deviceVersion);
  progress.language = job.language;
  return ok;
}

void COrvikDlg::ShowPageProgress(const PageProgress& progress, bool last) {
  if (m_bReceiveData != 1) return;  // switched off before this page's news arrived
  if (!progress.lastStamp.empty()) m_strDateTime = progress.lastStamp;
  CString prefix;
  if (PickText(kReadingMemory, prefix)) m_strStatus = prefix + progress.percent + "%";
  m_progress.SetPos(progress.pages);
  const auto pagesInAll = static_cast<int>(zv::proto::MemoryPagesForVersion(m_nDeviceVersion));
  m_events.Send([&](zv::IWindowEvents& o) { o.OnPageWritten(progress.pages, pagesInAll); });
  if (last) {
    m_progress.SetBarColor(CLR_DEFAULT);
    m_progress.SetPos(0);
    m_bReceiveData = 0;
    UpdateData(FALSE);
    KillTimer(kTimerDownload);  // ends as done, not as switched off
    OnReceiveData();  // the switch-off: joins the worker, closes the file, live poll again
    EndOperation(zv::Operation::kDownload, zv::Result::kDone);
    return;
  }
  UpdateData(FALSE);
}

void COrvikDlg::DecodePage() {
  // Whatever reply comes is taken as a page, but none is read past its end.
  if (m_rxFrame.GetSize() < static_cast<int>(zv::proto::kPageBytes)) {
    SetStatus(exchange_texts::kIncompleteReply);
    return;
  }
  std::string stamp;
  std::string why;
  // The window's own page mode reads the raw voltage unsigned.
  if (!WritePageRows(m_rxFrame.GetData(), {m_fScaleHigh, m_fScaleLow}, m_nNominalVoltage, true, stamp, why)) {
    EndDownloadOnFileError(why);
    return;
  }
  if (!stamp.empty()) m_strDateTime = stamp;
  CString prefix;
  if (PickText(kReadingMemory, prefix)) {
    m_strStatus = prefix + zv::mem::ProgressPercent(m_nMemAddress, m_nDeviceVersion) + "%";
  }
}

void COrvikDlg::ShowDownloadStatus(const Bilingual& text) {
  SetStatus(text);
  UpdateData(FALSE);
}

void COrvikDlg::EndDownloadOnFileError(const std::string& why) {
  if (m_bReceiveData != 1) return;
  m_bReceiveData = 0;
  UpdateData(FALSE);
  StopDownload();
  ShowFileError(row_file_texts::kCannotWrite, why);
  EndOperation(zv::Operation::kDownload, zv::Result::kFileError, m_strFileError);
}

void COrvikDlg::DiscardWaitingBytes() {
  // A late tail of an earlier reply must not open the next page.
  uint8_t scrap[512];
  for (int n = QueryInQueue(); n > 0 && m_hPort; n = QueryInQueue()) {
    std::size_t got = 0;
    m_hPort->Read(scrap, std::min<std::size_t>(sizeof scrap, static_cast<std::size_t>(n)), got);
    if (got == 0) break;
  }
}

bool COrvikDlg::WaitPage() {
  // A page is complete only with all its bytes: an adapter may hold its tail back, and a busy
  // sender may pause, for longer than a poll. Bytes are read as the port brings them; the
  // wait ends at the page's size, or once nothing has come for the variant's idle limit
  // (its polls times its delay). It sleeps in short slices so that a switch-off is seen soon.
  constexpr uint32_t kSliceMs = 20;
  constexpr uint32_t kLineMarginMs = 1;  // woken this long before the rest is due
  const WaitVariant& v = wait_variants::kPageRequest;
  const auto idleLimit = static_cast<uint32_t>(v.limit) * v.delayMs;
  const auto pageBytes = static_cast<int>(zv::proto::kPageBytes);
  m_nPrevInQueue = 0;
  m_rxFrame.RemoveAll();
  m_lastWaitError = {};
  if (!m_hPort) return false;
  // Idle time is the sum of the slices that brought nothing: a port's wait runs out only
  // after its whole time-out, on the port's own clock.
  uint32_t idle = 0;
  uint32_t firstTick = 0;  // when the page's first bytes were read
  while (m_bReadPages != 0 && idle < idleLimit) {
    const uint32_t slice = std::min(kSliceMs, idleLimit - idle);
    uint32_t waiting = 0;
    const zv::PortError error = m_hPort->WaitForInput(0, slice, waiting);
    if (error.kind == zv::PortErrorKind::kHangUp) {
      m_lastWaitError = error;  // gone: no page can come
      return false;
    }
    if (!error.ok()) {
      Clock().Sleep(slice);  // a port that cannot be asked has nothing waiting
      waiting = 0;
    }
    m_nInQueue = std::min(static_cast<int>(waiting), pageBytes - m_rxFrame.GetSize());
    if (m_nInQueue == 0) {
      idle += slice;
      continue;
    }
    idle = 0;
    const int had = m_rxFrame.GetSize();
    ReadWaitingBytes();
    if (m_rxFrame.GetSize() >= pageBytes) return true;
    const uint32_t now = Clock().TickCount();
    if (had == 0) firstTick = now;
    // Bytes coming at about the line's pace cannot come faster: sleep through most of the
    // time the rest needs instead of waking for every few bytes, and wait on the port only
    // for the last of it. Bytes that come faster than that are simply read as they come.
    const uint32_t sinceFirst = now - firstTick;
    const bool linePaced = had > 0 && sinceFirst >= 1 && sinceFirst * 2 >= LineMs(m_rxFrame.GetSize());
    const uint32_t restMs = LineMs(pageBytes - m_rxFrame.GetSize());
    if (linePaced && restMs > kLineMarginMs && m_bReadPages != 0) {
      const uint32_t sleep = std::min(restMs - kLineMarginMs, idleLimit);
      const int before = QueryInQueue();
      Clock().Sleep(sleep);
      // A sleep that brought nothing was idle time too.
      if (QueryInQueue() == before) idle = sleep;
    }
  }
  return false;
}

uint32_t COrvikDlg::LineMs(int bytes) const {
  // 10 bits a byte: start, 8 data bits, stop.
  const uint32_t baud = m_dcb.baudRate > 0 ? m_dcb.baudRate : 1;
  return static_cast<uint32_t>(static_cast<uint64_t>(bytes) * 10 * 1000 / baud);
}
