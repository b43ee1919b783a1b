// COrvikDlg: the program's only window and the owner of all of its state. Its handlers live
// beside the subsystem they belong to (link/, decode/, memory/) as parts of this one class.
//
// Threads: every member is owned by the window thread, which runs every handler, tick and
// exchange, one at a time. Members that another thread may touch say so where declared.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "dialog/resource.h"
#include "dialog/window_events.h"
#include "framework/bytearray.h"
#include "framework/cstring.h"
#include "framework/msgmap.h"
#include "framework/wnd.h"
#include "link/port_types.h"
#include "link/protocol.h"
#include "platform/output_file.h"
#include "platform/port_table.h"
#include "platform/serial_port.h"

// A status text or message in both languages, picked by m_nLanguage when it is shown.
struct Bilingual {
  const char* ru;
  const char* en;
};

// What a download worker is given when it starts: it reads no window state of its own.
struct DownloadJob {
  int download = 0;  // the number of the download it works for (m_nDownloadNumber)
  std::string portName;
  int deviceVersion = 0;
  zv::proto::ScaleFactors factors;
  uint32_t nominalVoltage = 0;
  int language = 0;
};

// What a worker tells the window about one page it has written.
struct PageProgress {
  std::string lastStamp;  // time stamp of the page's last record; empty when it had none
  std::string percent;
  int pages = 0;
  int language = 0;
};

// The wait variants of a request/reply exchange.
struct WaitVariant {
  UINT delayMs;        // pause before each poll
  int limit;           // polls that count before giving up
  int successMark;     // the counter value that means "reply read"; not below limit
  bool countChanged;   // whether a poll that sees a changed non-zero count counts
};

class COrvikDlg : public CDialogEx {
 public:
  enum { IDD = IDD_ORVIK_DIALOG };

  // The window's timers.
  static constexpr UINT_PTR kTimerLivePoll = 1;
  static constexpr UINT_PTR kTimerRecordPoll = 2;
  static constexpr UINT_PTR kTimerEraseWait = 3;
  static constexpr UINT_PTR kTimerDownload = 4;
  // Looks for a lost logger's port about once a second until it is back or the person picks.
  static constexpr UINT_PTR kTimerPortWatch = 5;
  // What the Enter key acts on (m_nEnterTarget).
  static constexpr int kEnterNone = 0;
  static constexpr int kEnterRecordPeriod = 1;
  static constexpr int kEnterPollPeriod = 2;

  explicit COrvikDlg(const PortAccess& ports = {}, CWnd* pParent = nullptr);
  ~COrvikDlg() override;

  // ---- state, in declaration order ----
  HICON m_hIcon;
  DCB m_dcb;
  HANDLE m_hPort;  // the open port; null when closed
  const char* m_pszPortName;
  CString m_strPortName;
  OVERLAPPED m_ovWrite;
  OVERLAPPED m_ovRead;
  CByteArray m_txFrame;
  CByteArray m_rxFrame;
  DWORD m_dwBytesWritten;
  DWORD m_dwCommErrors;
  int m_nReadCount;
  DWORD m_dwBytesRead;
  BYTE m_rxByte;
  COMSTAT m_comStat;
  int m_nPrevInQueue;
  int m_nInQueue;
  // What ended the last wait on the port before its rules did: a hang-up (kHangUp) of the
  // device under the open port; kNone otherwise. Cleared when a wait starts. Owned, as
  // m_hPort is, by whoever holds the port: the window thread, or the worker while it runs.
  zv::PortError m_lastWaitError;
  CComboBox m_portCombo;
  CString m_strDateTime;
  CString m_strCurrent;
  CString m_strVoltage;
  CString m_strCapacity;
  CString m_strStatus;
  int m_nPollPeriodMs;
  UINT m_nDevShuntMv;
  UINT m_nDevShuntA;
  UINT m_nNominalVoltage;
  int m_bReceiveData;
  int m_nDeviceVersion;
  // The dump file: opened and closed by the window thread, written by the download worker
  // (and by the decoder's page mode); m_dumpMutex guards it with m_strDumpLine and
  // m_nDumpLineLen.
  std::unique_ptr<zv::OutputFile> m_hDumpFile;
  CString m_strDumpPath;
  CString m_strDumpLine;
  int m_nDumpLineLen;
  std::unique_ptr<zv::OutputFile> m_hRecordFile;
  CString m_strRecordPath;
  CString m_strRecordLine;
  int m_nRecordLineLen;
  int m_nMemAddress;
  int m_nConfigWord;
  int m_nEventBits;
  int m_nClockYear;
  int m_nClockMonth;
  int m_nClockDay;
  int m_nClockHour;
  int m_nClockMinute;
  int m_nClockSecond;
  float m_fRecordPeriod;
  int m_bEventRecord;
  CString m_strPower;
  CButton m_btnRecord;
  int m_bRecording;
  int m_nRecordPollMs;
  CProgressCtrl m_progress;
  int m_nProgressCount;
  CString m_strDeviceName;
  CString m_strDeviceInfo;
  int m_nSerialNumber;
  CString m_strCapPort;
  CString m_strCapMemory;
  CString m_strCapMeasurements;
  CString m_strCapVoltage;
  CString m_strCapCurrent;
  CString m_strCapCapacity;
  CString m_strCapPower;
  CString m_strCapDateTime;
  CString m_strCapConfiguration;
  CString m_strCapNominalVoltage;
  CString m_strCapRecordPeriod;
  CString m_strCapEventRecord;
  CString m_strCapRecordToFile;
  CString m_strCapPollPeriod;
  CButton m_btnErase;
  CButton m_btnReceive;
  CButton m_btnSyncClock;
  CButton m_btnSetConfig;
  CButton m_btnLanguage;
  CButton m_btnChart;
  int m_nLanguage;
  CString m_strCapShuntMillivolts;
  CString m_strCapShuntAmps;
  CString m_strCapShunt;
  // The last download worker started; joined by the window thread before the next starts,
  // when the download is switched off, and when the window goes away.
  std::unique_ptr<std::thread> m_pDownloadThread;
  std::atomic<int> m_bWorkerActive;  // 1 while a worker runs; cleared by the worker as it ends
  std::atomic<int> m_bReadPages;     // the worker's loop flag; the window thread clears it to stop it
  UINT m_nShuntMillivolts;
  UINT m_nShuntAmps;
  CEdit m_editShuntAmps;
  CEdit m_editShuntMillivolts;
  int m_nEnterTarget;
  // How ports are reached: the serial backend, the port table, names from the command line.
  PortAccess m_portAccess;
  // 1 from the confirmed erase command until the erase wait's last tick: the erase owns the
  // open port meanwhile, and every other exchange stays off it.
  int m_bEraseWaiting;
  std::mutex m_dumpMutex;
  // Counts the downloads switched on; the news of a worker carries the number of its own, so
  // that late news of an earlier download is told from the current one's. Window thread.
  int m_nDownloadNumber;
  // The current-scale factors H and L, worked out afresh by every DecodeReply.
  float m_fScaleHigh;
  float m_fScaleLow;
  // Who hears what happened (dialog/window_events.h); window thread.
  zv::WindowEventList m_events;
  // How the last DecodeReply ended and the function code of its reply; its caller turns it
  // into the operation's result.
  zv::Result m_nReplyResult;
  int m_nReplyFunction;
  // 1 from a failed open of the logger's port until a configuration read answers again.
  int m_bLoggerLost;
  // The message of the last file-error box, for the operation that ends on it.
  std::string m_strFileError;
  // The port a configuration read last answered on: a logger was there to lose.
  CString m_strLoggerPort;
  // 1 while the window watches for the lost logger's port to come back (timer 5); meanwhile a
  // failed open shows no box. The lost port's name and who answered on it before the loss.
  int m_bPortWatch;
  CString m_strLostPort;
  zv::LoggerIdentity m_lostIdentity;

  // ---- main window (dialog/) ----
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnPaint();
  HICON OnQueryDragIcon();
  void OnEnSetfocusRecordPeriod();
  void OnEnSetfocusPollPeriod();
  void ApplyRecordPeriod();
  void EnumeratePorts();
  void OnLButtonDblClk(UINT nFlags, CPoint point);
  void OnCbnSelchangePort();
  // The port list's entry of the port by m_strPortName, 0 ("no") when it is not listed.
  int BusyPortEntry() const;
  // Sets the captions of the language m_nLanguage names.
  void SetCaptions();
  void OnBnClickedLanguage();
  // Asks the view for the chart of the live readings (dialog/chart_button.cpp).
  void OnBnClickedChart();

  // Picks the text of the current language; false (and nothing set) for any other flag.
  bool PickText(const Bilingual& text, CString& out) const;
  // Shows a status text in the current language; any other flag leaves the status line.
  void SetStatus(const Bilingual& text);

  // ---- what happened, for the window's observers (dialog/window_events.h) ----
  void AddEventObserver(zv::IWindowEvents* observer) { m_events.Add(observer); }
  void RemoveEventObserver(zv::IWindowEvents* observer) { m_events.Remove(observer); }
  // Tells the end of an operation; text empty takes the status line as it stands.
  void EndOperation(zv::Operation operation, zv::Result result, const std::string& text = {});
  // The configuration and identity as the last configuration reply left them.
  zv::LoggerConfiguration ConfigurationNow() const;

  // ---- device link (link/) ----
  WORD Crc16Modbus(const CByteArray& data, int count) const;
  void OpenPort();
  // Opens and sets up the named port into m_hPort, with no window work: the download worker
  // opens its port this way. False, with the system's reason in why, when it cannot.
  bool OpenPortHandle(const std::string& name, std::string& why);
  // Window thread: what a failed open shows (the box, the live poll stopped, the list on "no").
  void ReportOpenFailure(const std::string& why);
  void ClosePort();
  // ---- the lost logger's port watched for its return (link/port_watch.cpp) ----
  // After the first failure of a loss: the status says the logger is gone, and the watch starts.
  void StartPortWatch();
  // The person picked a port (or "no"): the watch ends, and the next failure is a new loss.
  void StopPortWatch();
  // Timer 5: the port back? Then its configuration is read and what was on goes on.
  void PortWatchTick();
  // Whether the logger that answered the last configuration read is the one lost.
  bool SameLoggerAsLost() const;
  void ResumeAfterReturn();
  // Another logger answered: a recording or a download of the lost one stops, with why.
  void StopOnOtherLogger();
  void SendFrame(const CByteArray& frame);
  DWORD DelayMs(UINT ms);
  // Collects a reply into m_rxFrame; true when one was read before the variant's limit.
  bool WaitReply(const WaitVariant& variant);
  // One exchange of an operation in the common order: a freshly opened port, the request that
  // build puts in m_txFrame, the opening text (if any) on screen while the reply is awaited,
  // then onReply (if any) for a reply or the timeout text for none, the port closed, and the
  // operation's end told. Returns whether a reply came; its bytes stay in m_rxFrame.
  bool RunExchange(zv::Operation operation, void (COrvikDlg::*build)(), const WaitVariant& variant,
                   const Bilingual* openingText, const Bilingual& timeoutText, void (COrvikDlg::*onReply)() = nullptr);
  // What an exchange of the operation came to: whether the port opened, a reply came, and
  // how the decoder took it.
  zv::Result ExchangeResult(zv::Operation operation, bool portOpened, bool replied) const;
  // Bytes waiting at the port, 0 when the query fails (for instance with the port closed).
  // A hang-up is kept in m_lastWaitError.
  int QueryInQueue();
  // Waits one poll interval (delayMs and a tick) for more than m_nPrevInQueue bytes, woken
  // by the port when they come; m_nInQueue is the count then (0 when the port cannot be
  // asked). False at once when the device hangs up (kept in m_lastWaitError).
  bool AwaitMoreInput(UINT delayMs);
  // Whether the last wait ended because the device went away under the open port.
  bool PortHungUp() const { return m_lastWaitError.kind == zv::PortErrorKind::kHangUp; }
  // Reads exactly m_nInQueue waiting bytes into m_rxFrame.
  void ReadWaitingBytes();
  // Appends the CRC of the first count bytes of m_txFrame, low byte first.
  void AppendCrc(int count);
  void BuildConfigRequest();
  void BuildMeasurementRequest();
  void BuildConfigWrite();
  void BuildClockWrite(int startRegister);
  void BuildEraseCommand();
  void BuildPageRequest();

  // The port selection index, -1 when nothing is selected.
  int PortSelection() const;
  // Whether an exchange on the window thread must stay off the port now: a download or the
  // erase wait owns it.
  bool PortBusyElsewhere() const;

  // ---- poll timers and device operations (link/) ----
  void OnTimer(UINT_PTR nIDEvent) override;
  // One measurement exchange, for timer 1 (live poll) and timer 2 (recording poll).
  void PollTick();
  void EraseWaitTick();
  void ReadConfiguration();
  void OnBnClickedSetConfig();
  void OnBnClickedSyncClock();
  void OnBnClickedErase();

  // ---- reply decoding (decode/) ----
  void DecodeReply();
  // Works out m_fScaleHigh and m_fScaleLow from the version and the device's shunt rating.
  void ComputeScaleFactors();
  void DecodeMeasurement();
  void DecodeConfiguration();
  // Page mode: a reply that arrives on the window thread while a download is on is a page.
  void DecodePage();
  void OnBnClickedEventCheck();
  // Appends the row of a measurement while recording; the six channel readings in amperes.
  void AppendRecordRow(const float (&channels)[6]);
  // Big-endian fields of m_rxFrame, fetched through its bounds-checked accessor.
  unsigned RxWord(std::size_t offset) const;
  unsigned RxByte(std::size_t offset) const;

  // ---- live recording and the files of rows (decode/) ----
  void OnBnClickedRecord();
  void StopRecording();
  // Tells the recording's end; a file error carries the message of its box.
  void EndRecording(zv::Result result);
  void SetRecordCaption(const Bilingual& caption);
  // Writes m_strRecordLine; a failed write stops the recording with a message.
  bool WriteRecordLine();
  // Asks for a file with the save dialog and creates it under its final name (path), asking
  // before it replaces a file. Null when cancelled or when it cannot be made (told in a box).
  std::unique_ptr<zv::OutputFile> ChooseRowFile(CString& path);
  void ShowFileError(const Bilingual& what, const std::string& why);

  // ---- memory download (memory/) ----
  void OnReceiveData();
  void StartDownload();
  // The switch-off: stops and joins the worker, closes the dump file, live poll again.
  void StopDownload();
  void StopWorker();
  // Timer 4: starts a worker unless one runs.
  void DownloadTick();
  // The worker's thread procedure.
  void MemoryReadThread(DownloadJob job);
  // Worker: queues news for the window thread, where it runs only while the download it
  // belongs to is still on.
  void PostDownloadNews(int download, std::function<void()> news);
  void ReadPages(const DownloadJob& job);
  // Worker: sends the request of the page at address (m_nMemAddress stays the page in hand).
  void SendPageRequest(int address);
  // Collects one whole page into m_rxFrame; false when it does not come whole.
  bool WaitPage();
  // Milliseconds the line needs to carry bytes at the port's speed.
  uint32_t LineMs(int bytes) const;
  void DiscardWaitingBytes();
  bool WriteMemoryPage(const DownloadJob& job, PageProgress& progress, std::string& why);
  // Window thread: the news of one page, and the end of the download after the last.
  void ShowPageProgress(const PageProgress& progress, bool last);
  void ShowDownloadStatus(const Bilingual& text);
  void EndDownloadOnFileError(const std::string& why);
  bool CreateDumpFile();
  void CloseDumpFile();
  // Writes the rows of the page's records to the dump file. False, with the reason, when a
  // write fails. lastStamp gets the time stamp of the last record written.
  bool WritePageRows(const uint8_t* page, const zv::proto::ScaleFactors& factors, uint32_t nominalVoltage,
                     bool unsignedVoltage, std::string& lastStamp, std::string& why);

 protected:
  bool OnWndMsg(zfw::Msg msg, int id, const zfw::MsgArgs& args) override;
};

// The status texts of the exchanges.
namespace exchange_texts {
constexpr Bilingual kReadingConfiguration{"Чтение конфигурации", "Reading configuration"};
constexpr Bilingual kNoCommunication{"Нет связи с устройством", "No communication with the device"};
constexpr Bilingual kRequestPoll{"Запрос", "Request "};  // the live poll's, with a trailing blank
constexpr Bilingual kRequest{"Запрос", "Request"};
constexpr Bilingual kNoData{"Нет данных", "No data "};
constexpr Bilingual kRecordingData{"Запись данных", "Recording data"};
// A reply that passed its checks but ends before the fields of its kind.
constexpr Bilingual kIncompleteReply{"Неполный ответ", "Incomplete reply"};
}  // namespace exchange_texts

// The failures of the files of rows.
namespace row_file_texts {
constexpr Bilingual kCannotCreate{"Не удалось создать файл:", "Cannot create the file:"};
constexpr Bilingual kCannotWrite{"Ошибка записи в файл:", "Cannot write to the file:"};
}  // namespace row_file_texts

// The wait variants' constants.
namespace wait_variants {
constexpr WaitVariant kConfigRead{5, 200, 210, false};
constexpr WaitVariant kLivePoll{5, 2000, 2010, false};
constexpr WaitVariant kConfigWrite{5, 2000, 2010, true};
constexpr WaitVariant kClockWrite{5, 100, 101, true};
constexpr WaitVariant kPageRequest{1, 1000, 1010, false};
}  // namespace wait_variants
