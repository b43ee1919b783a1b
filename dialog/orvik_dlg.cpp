#include "dialog/orvik_dlg.h"

#include <array>

#include "dialog/dialog_template.h"
#include "framework/winapp.h"

namespace {

using zfw::Msg;
using Entry = zfw::MessageMapEntry<COrvikDlg>;

const std::array kMessageMap{
    zfw::OnWindow<COrvikDlg>(Msg::kPaint, &COrvikDlg::OnPaint),
    zfw::OnQueryMsg<COrvikDlg>(Msg::kQueryDragIcon, &COrvikDlg::OnQueryDragIcon),
    zfw::OnTimerMsg<COrvikDlg>(&COrvikDlg::OnTimer),
    zfw::OnControl<COrvikDlg>(Msg::kCbnSelChange, IDC_PORT, &COrvikDlg::OnCbnSelchangePort),
    zfw::OnMouseMsg<COrvikDlg>(Msg::kLButtonDblClk, &COrvikDlg::OnLButtonDblClk),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_SET_CONFIG, &COrvikDlg::OnBnClickedSetConfig),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_RECEIVE, &COrvikDlg::OnReceiveData),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_SYNC_CLOCK, &COrvikDlg::OnBnClickedSyncClock),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_EVENT_CHECK, &COrvikDlg::OnBnClickedEventCheck),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_ERASE, &COrvikDlg::OnBnClickedErase),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_RECORD, &COrvikDlg::OnBnClickedRecord),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_LANGUAGE, &COrvikDlg::OnBnClickedLanguage),
    zfw::OnControl<COrvikDlg>(Msg::kBnClicked, IDC_CHART, &COrvikDlg::OnBnClickedChart),
    zfw::OnControl<COrvikDlg>(Msg::kEnSetFocus, IDC_RECORD_PERIOD, &COrvikDlg::OnEnSetfocusRecordPeriod),
    zfw::OnControl<COrvikDlg>(Msg::kEnSetFocus, IDC_POLL_PERIOD, &COrvikDlg::OnEnSetfocusPollPeriod),
};

}  // namespace

COrvikDlg::COrvikDlg(const PortAccess& ports, CWnd* pParent)
    : CDialogEx(MainDialogTemplate(), pParent),
      m_hIcon(AfxGetApp() != nullptr ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : IDR_MAINFRAME),
      m_dcb(),
      m_hPort(),
      m_pszPortName(nullptr),
      m_ovWrite(),
      m_ovRead(),
      m_dwBytesWritten(0),
      m_dwCommErrors(0),
      m_nReadCount(0),
      m_dwBytesRead(0),
      m_rxByte(0),
      m_comStat(),
      m_nPrevInQueue(0),
      m_nInQueue(0),
      m_strCurrent("0"),
      m_strVoltage("0"),
      m_strCapacity("0"),
      m_nPollPeriodMs(0),
      m_nDevShuntMv(0),
      m_nDevShuntA(0),
      m_nNominalVoltage(0),
      m_bReceiveData(0),
      m_nDeviceVersion(0),
      m_hDumpFile(),
      m_nDumpLineLen(0),
      m_hRecordFile(),
      m_nRecordLineLen(0),
      m_nMemAddress(0),
      m_nConfigWord(0),
      m_nEventBits(0),
      m_nClockYear(0),
      m_nClockMonth(0),
      m_nClockDay(0),
      m_nClockHour(0),
      m_nClockMinute(0),
      m_nClockSecond(0),
      m_fRecordPeriod(0.1f),
      m_bEventRecord(0),
      m_bRecording(0),
      m_nRecordPollMs(0),
      m_nProgressCount(0),
      m_nSerialNumber(0),
      m_nLanguage(0),
      m_bWorkerActive(0),
      m_bReadPages(0),
      m_nShuntMillivolts(0),
      m_nShuntAmps(0),
      m_nEnterTarget(kEnterNone),
      m_portAccess(ports),
      m_bEraseWaiting(0),
      m_nDownloadNumber(0),
      m_fScaleHigh(0.0f),
      m_fScaleLow(0.0f),
      m_nReplyResult(zv::Result::kNoReply),
      m_nReplyFunction(-1),
      m_bLoggerLost(0),
      m_bPortWatch(0) {}

COrvikDlg::~COrvikDlg() {
  // A download may still run when the window closes: its worker uses this object, so it is
  // stopped before anything goes away, and the dump file is closed after it.
  StopWorker();
  CloseDumpFile();
}

bool COrvikDlg::OnWndMsg(zfw::Msg msg, int id, const zfw::MsgArgs& args) {
  if (zfw::DispatchMessageMap<COrvikDlg>(*this, kMessageMap, msg, id, args)) return true;
  return CDialogEx::OnWndMsg(msg, id, args);
}

void COrvikDlg::DoDataExchange(CDataExchange* pDX) {
  CDialogEx::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_PORT, m_portCombo);
  DDX_Text(pDX, IDC_DATETIME, m_strDateTime);
  DDX_Text(pDX, IDC_CURRENT, m_strCurrent);
  DDX_Text(pDX, IDC_VOLTAGE, m_strVoltage);
  DDX_Text(pDX, IDC_CAPACITY, m_strCapacity);
  DDX_Text(pDX, IDC_STATUS, m_strStatus);
  DDX_Check(pDX, IDC_RECEIVE, m_bReceiveData);
  DDX_Text(pDX, IDC_RECORD_PERIOD, m_fRecordPeriod);
  DDX_Check(pDX, IDC_EVENT_CHECK, m_bEventRecord);
  DDX_Text(pDX, IDC_POWER, m_strPower);
  DDX_Control(pDX, IDC_RECORD, m_btnRecord);
  DDX_Check(pDX, IDC_RECORD, m_bRecording);
  DDX_Text(pDX, IDC_POLL_PERIOD, m_nRecordPollMs);
  DDX_Text(pDX, IDC_NOMINAL_VOLTAGE, m_nNominalVoltage);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Text(pDX, IDC_DEVICE_INFO, m_strDeviceInfo);
  DDX_Text(pDX, IDC_CAP_PORT, m_strCapPort);
  DDX_Text(pDX, IDC_CAP_MEMORY, m_strCapMemory);
  DDX_Text(pDX, IDC_CAP_MEASUREMENTS, m_strCapMeasurements);
  DDX_Text(pDX, IDC_CAP_VOLTAGE, m_strCapVoltage);
  DDX_Text(pDX, IDC_CAP_CURRENT, m_strCapCurrent);
  DDX_Text(pDX, IDC_CAP_CAPACITY, m_strCapCapacity);
  DDX_Text(pDX, IDC_CAP_POWER, m_strCapPower);
  DDX_Text(pDX, IDC_CAP_DATETIME, m_strCapDateTime);
  DDX_Text(pDX, IDC_CAP_CONFIGURATION, m_strCapConfiguration);
  DDX_Text(pDX, IDC_CAP_NOMINAL_VOLTAGE, m_strCapNominalVoltage);
  DDX_Text(pDX, IDC_CAP_RECORD_PERIOD, m_strCapRecordPeriod);
  DDX_Text(pDX, IDC_CAP_EVENT_RECORD, m_strCapEventRecord);
  DDX_Text(pDX, IDC_CAP_RECORD_TO_FILE, m_strCapRecordToFile);
  DDX_Text(pDX, IDC_CAP_POLL_PERIOD, m_strCapPollPeriod);
  DDX_Control(pDX, IDC_ERASE, m_btnErase);
  DDX_Control(pDX, IDC_RECEIVE, m_btnReceive);
  DDX_Control(pDX, IDC_SYNC_CLOCK, m_btnSyncClock);
  DDX_Control(pDX, IDC_SET_CONFIG, m_btnSetConfig);
  DDX_Control(pDX, IDC_LANGUAGE, m_btnLanguage);
  DDX_Control(pDX, IDC_CHART, m_btnChart);
  DDX_Check(pDX, IDC_LANGUAGE, m_nLanguage);
  DDX_Text(pDX, IDC_SHUNT_MV, m_nShuntMillivolts);
  DDX_Text(pDX, IDC_SHUNT_A, m_nShuntAmps);
  DDX_Control(pDX, IDC_SHUNT_A, m_editShuntAmps);
  DDX_Control(pDX, IDC_SHUNT_MV, m_editShuntMillivolts);
  DDX_Text(pDX, IDC_CAP_SHUNT_MV, m_strCapShuntMillivolts);
  DDX_Text(pDX, IDC_CAP_SHUNT_A, m_strCapShuntAmps);
  DDX_Text(pDX, IDC_CAP_SHUNT, m_strCapShunt);
}

BOOL COrvikDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  m_strDateTime = "00:00:00";
  m_strCurrent = "0";
  m_strVoltage = "0";
  m_strPower = "0";
  m_strCapacity = "0";
  m_strStatus = " ";
  m_bRecording = 0;
  m_nLanguage = 0;
  SetCaptions();

  m_nRecordPollMs = 200;
  m_nNominalVoltage = 24;
  m_nShuntMillivolts = 50;
  m_nDevShuntMv = 50;
  m_nShuntAmps = 300;
  m_nDevShuntA = 300;
  m_editShuntAmps.EnableWindow(FALSE);
  m_editShuntMillivolts.EnableWindow(FALSE);
  m_strDeviceInfo = "Tolvane Battery Logger";
  m_fRecordPeriod = 0.33f;
  m_nConfigWord = 33;
  m_bEventRecord = 0;
  m_nEventBits = 0;

  m_portCombo.AddString("no");
  m_portCombo.SetCurSel(0);
  EnumeratePorts();

  m_nPollPeriodMs = 300;
  m_bReceiveData = 0;
  m_nMemAddress = 0;

  m_progress.SetBarColor(CLR_DEFAULT);
  m_progress.SetRange(0, 120);
  m_progress.SetStep(10);
  m_progress.SetPos(0);

  m_nEnterTarget = kEnterNone;
  UpdateData(FALSE);
  return TRUE;
}

// The view draws the window's icon when it is minimized, so there is nothing to paint here.
void COrvikDlg::OnPaint() {}

HICON COrvikDlg::OnQueryDragIcon() { return m_hIcon; }

int COrvikDlg::PortSelection() const { return m_portCombo.GetCurSel(); }

bool COrvikDlg::PortBusyElsewhere() const { return m_bReceiveData == 1 || m_bEraseWaiting != 0; }

bool COrvikDlg::PickText(const Bilingual& text, CString& out) const {
  if (m_nLanguage == 0) {
    out = text.ru;
    return true;
  }
  if (m_nLanguage == 1) {
    out = text.en;
    return true;
  }
  return false;
}

void COrvikDlg::SetStatus(const Bilingual& text) { PickText(text, m_strStatus); }

void COrvikDlg::EndOperation(zv::Operation operation, zv::Result result, const std::string& text) {
  zv::OperationEnd end;
  end.operation = operation;
  end.result = result;
  if (result == zv::Result::kFileError) {
    end.text = text;
  } else if (result != zv::Result::kCancelled) {
    end.text = text.empty() ? m_strStatus.str() : text;
  }
  if ((operation == zv::Operation::kConfigurationRead && result == zv::Result::kDone) ||
      operation == zv::Operation::kSetConfiguration) {
    end.configuration = ConfigurationNow();
  }
  if (operation == zv::Operation::kSyncClock) {
    end.clockSent = zv::DeviceTime{m_nClockYear + 2000, m_nClockMonth, m_nClockDay, m_nClockHour, m_nClockMinute,
                                   static_cast<float>(m_nClockSecond)};
  }
  if (operation == zv::Operation::kConfigurationRead && result == zv::Result::kDone) m_strLoggerPort = m_strPortName;
  m_events.Send([&](zv::IWindowEvents& o) { o.OnOperationEnded(end); });
  // Another logger on the lost one's port is not the lost one back.
  if (operation == zv::Operation::kConfigurationRead && result == zv::Result::kDone && m_bLoggerLost != 0 &&
      SameLoggerAsLost()) {
    m_bLoggerLost = 0;
    m_events.Send([&](zv::IWindowEvents& o) { o.OnLoggerBack(end.configuration->identity); });
  }
}

zv::LoggerConfiguration COrvikDlg::ConfigurationNow() const {
  zv::LoggerConfiguration c;
  c.identity.version = m_nDeviceVersion;
  c.identity.serialNumber = m_nSerialNumber;
  c.identity.deviceName = m_strDeviceName.str();
  c.nominalVoltage = m_nNominalVoltage;
  c.shuntMillivolts = m_nShuntMillivolts;
  c.shuntAmps = m_nShuntAmps;
  c.shuntSettable = m_editShuntMillivolts.IsWindowEnabled() != FALSE;
  c.recordPeriod = m_fRecordPeriod;
  c.eventRecording = m_bEventRecord != 0;
  c.configWord = m_nConfigWord;
  return c;
}
