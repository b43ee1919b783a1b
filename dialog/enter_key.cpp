// Which period field the Enter key acts on, and the recording-period check.
#include <cmath>

#include "dialog/orvik_dlg.h"

void COrvikDlg::OnEnSetfocusRecordPeriod() {
  KillTimer(kTimerLivePoll);
  m_nEnterTarget = kEnterRecordPeriod;
}

void COrvikDlg::OnEnSetfocusPollPeriod() {
  KillTimer(kTimerLivePoll);
  m_nEnterTarget = kEnterPollPeriod;
}

void COrvikDlg::OnOK() {
  UpdateData(TRUE);
  if (m_nEnterTarget == kEnterRecordPeriod) {
    ApplyRecordPeriod();
  } else if (m_nEnterTarget == kEnterPollPeriod) {
    GetDlgItem(IDC_RECORD)->SetFocus();
    SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
    m_nEnterTarget = kEnterNone;
  }
  // Enter never closes the window.
}

void COrvikDlg::ApplyRecordPeriod() {
  UpdateData(TRUE);
  // "nan" reads as a number but passes both bounds; take it as the shortest period, as any
  // other text that does not make a usable period ends up.
  if (std::isnan(m_fRecordPeriod)) m_fRecordPeriod = 0.3f;
  if (static_cast<double>(m_fRecordPeriod) < 0.3) m_fRecordPeriod = 0.3f;
  if (m_fRecordPeriod > 5.0f) m_fRecordPeriod = 5.0f;
  UpdateData(FALSE);
  m_nConfigWord = static_cast<int>(static_cast<double>(m_fRecordPeriod) * 100.0);
  m_nConfigWord = m_nConfigWord | m_nEventBits;
  GetDlgItem(IDC_SET_CONFIG)->SetFocus();
  SetTimer(kTimerLivePoll, static_cast<UINT>(m_nPollPeriodMs));
  m_nEnterTarget = kEnterNone;
  UpdateData(FALSE);
}

