// Recording the live readings into a text file: the record toggle, and one row per
// measurement reply while it is pressed.
#include "decode/row_file.h"
#include "dialog/orvik_dlg.h"

namespace {
constexpr Bilingual kStart{"Старт", "Start recording"};
constexpr Bilingual kStop{"Стоп", "Stop recording"};
constexpr char kHeader[] = "time\t I_50_DC, A\t I_50_AC, A\t I_50_RMS, A\t I_300_DC, A\t I_300_AC, A\t I_300_RMS, A\t Uab, V\t P, W\t Qab, Ah\r\n";
constexpr UINT kLivePollMs = 300;
}  // namespace

void COrvikDlg::OnBnClickedRecord() {
  UpdateData(TRUE);
  if (m_bRecording == 1) {
    KillTimer(kTimerLivePoll);
    m_strFileError.clear();
    m_hRecordFile = ChooseRowFile(m_strRecordPath);
    if (m_hRecordFile) {
      m_strRecordLine = m_strDeviceName + "\r\n\r\n" + kHeader;
      m_nRecordLineLen = m_strRecordLine.GetLength();
      if (WriteRecordLine()) {
        SetTimer(kTimerRecordPoll, static_cast<UINT>(m_nRecordPollMs));
        SetRecordCaption(kStop);
      }
    } else {
      // Cancelled, or the file could not be made: nothing records.
      StopRecording();
      EndRecording(m_strFileError.empty() ? zv::Result::kCancelled : zv::Result::kFileError);
    }
  } else {
    StopRecording();
    EndRecording(zv::Result::kDone);
  }
  UpdateData(FALSE);
}

void COrvikDlg::StopRecording() {
  KillTimer(kTimerRecordPoll);
  m_hRecordFile.reset();
  m_bRecording = 0;
  m_nPollPeriodMs = static_cast<int>(kLivePollMs);
  SetTimer(kTimerLivePoll, kLivePollMs);
  SetRecordCaption(kStart);
}

void COrvikDlg::EndRecording(zv::Result result) {
  EndOperation(zv::Operation::kRecording, result, result == zv::Result::kFileError ? m_strFileError : std::string());
}

void COrvikDlg::SetRecordCaption(const Bilingual& caption) {
  CString text;
  if (PickText(caption, text)) m_btnRecord.SetWindowText(text);
}

bool COrvikDlg::WriteRecordLine() {
  std::string why;
  if (m_hRecordFile && m_hRecordFile->Write(m_strRecordLine.str(), why)) return true;
  if (!m_hRecordFile) return false;
  // A row that cannot be written stops the recording: nothing records into nowhere.
  StopRecording();
  UpdateData(FALSE);
  ShowFileError(row_file_texts::kCannotWrite, why);
  EndRecording(zv::Result::kFileError);
  return false;
}

void COrvikDlg::AppendRecordRow(const float (&channels)[6]) {
  m_strRecordLine = m_strDateTime;
  for (const float amps : channels) m_strRecordLine += " \t" + zfw::Format("%3.2f", amps);
  m_strRecordLine += " \t" + m_strVoltage + " \t" + m_strPower + " \t" + m_strCapacity + "\r\n";
  m_strRecordLine.Replace(".", ",");
  m_nRecordLineLen = m_strRecordLine.GetLength();
  if (WriteRecordLine()) m_events.Send([](zv::IWindowEvents& o) { o.OnRecordRow(); });
}
