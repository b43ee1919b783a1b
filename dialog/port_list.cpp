// The port list: filled from the machine's table of serial ports and the names given on the
// command line, refilled by a double-click on the window, and acted on when a port is picked.
#include <cstddef>
#include <cstdio>
#include <string>

#include "dialog/orvik_dlg.h"

namespace {
constexpr char kNoPort[] = "no";
constexpr char kErrorOpenKey[] = "Error Open Key";
// Entries read from the table at the most, and the size of the buffer each is read into.
constexpr std::size_t kMaxEntries = 255;
constexpr std::size_t kEntryCapacity = 1024;
}  // namespace

void COrvikDlg::EnumeratePorts() {
  std::size_t listed = 0;
  zv::IPortTable* table = m_portAccess.table;
  std::string why;
  if (table == nullptr || !table->Open(&why)) {
    if (!why.empty()) std::fprintf(stderr, "zentrova: %s\n", why.c_str());
    AfxMessageBox(kErrorOpenKey, MB_OK | MB_ICONEXCLAMATION);
  } else {
    std::string name;
    for (; listed < kMaxEntries; ++listed) {
      // The end of the table, and an entry too long for the buffer, end the list.
      if (table->ReadEntry(listed, kEntryCapacity, name) != zv::PortEntryResult::kOk) break;
      // A zero byte ends the visible name.
      m_portCombo.AddString(CString(name.substr(0, name.find('\0'))));
    }
    table->Close();
  }
  // Ports named on the command line follow the table's, verbatim.
  for (const std::string& extra : m_portAccess.extraPorts) {
    if (listed++ >= kMaxEntries) break;
    m_portCombo.AddString(CString(extra));
  }
}

void COrvikDlg::OnLButtonDblClk(UINT /*nFlags*/, CPoint /*point*/) {
  m_portCombo.ResetContent();
  m_portCombo.AddString(kNoPort);
  m_portCombo.SetCurSel(0);
  EnumeratePorts();
  UpdateData(FALSE);
}

void COrvikDlg::OnCbnSelchangePort() {
  const int index = m_portCombo.GetCurSel();
  if (index > 0) {
    m_portCombo.GetLBText(index, m_strPortName);
    m_pszPortName = m_strPortName.GetString();
    ReadConfiguration();
  } else {
    KillTimer(kTimerLivePoll);
  }
}
