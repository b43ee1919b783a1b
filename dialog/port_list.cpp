// The port list: filled from the machine's table of serial ports and the names given on the
// command line, refilled by a double-click on the window, and acted on when a port is picked.
#include "dialog/port_list.h"

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
constexpr Bilingual kBusyReadingMemory{"Порт занят чтением памяти", "The port is busy reading the memory"};
constexpr Bilingual kBusyErasing{"Порт занят стиранием памяти", "The port is busy erasing the memory"};
}  // namespace

PortListing ListPorts(const PortAccess& access) {
  PortListing listing;
  zv::IPortTable* table = access.table;
  if (table != nullptr && table->Open(&listing.why)) {
    listing.tableRead = true;
    std::string name;
    while (listing.names.size() < kMaxEntries &&
           table->ReadEntry(listing.names.size(), kEntryCapacity, name) == zv::PortEntryResult::kOk) {
      // A zero byte ends the visible name.
      listing.names.push_back(name.substr(0, name.find('\0')));
    }
    table->Close();
  }
  for (const std::string& extra : access.extraPorts) {
    if (listing.names.size() >= kMaxEntries) break;
    listing.names.push_back(extra);
  }
  return listing;
}

void COrvikDlg::EnumeratePorts() {
  const PortListing listing = ListPorts(m_portAccess);
  if (!listing.tableRead) {
    if (!listing.why.empty()) std::fprintf(stderr, "zentrova: %s\n", listing.why.c_str());
    AfxMessageBox(kErrorOpenKey, MB_OK | MB_ICONEXCLAMATION);
  }
  for (const std::string& name : listing.names) m_portCombo.AddString(CString(name));
}

void COrvikDlg::OnLButtonDblClk(UINT /*nFlags*/, CPoint /*point*/) {
  m_portCombo.ResetContent();
  m_portCombo.AddString(kNoPort);
  m_portCombo.SetCurSel(0);
  EnumeratePorts();
  // The port a download or the erase wait holds stays the one shown; a lost one is the
  // watch's to pick again, once it knows who answers there.
  if (PortBusyElsewhere() && m_bPortWatch == 0) m_portCombo.SetCurSel(BusyPortEntry());
  UpdateData(FALSE);
}

int COrvikDlg::BusyPortEntry() const {
  CString name;
  for (int i = 1; i < m_portCombo.GetCount(); ++i) {
    m_portCombo.GetLBText(i, name);
    if (name == m_strPortName) return i;
  }
  return 0;
}

void COrvikDlg::OnCbnSelchangePort() {
  const int index = m_portCombo.GetCurSel();
  // The person's own pick, of the lost port too, ends the wait for it.
  const bool watched = m_bPortWatch != 0;
  StopPortWatch();
  if (PortBusyElsewhere()) {
    // A download whose logger was lost stays on "no" when told so, until its port is picked.
    if (watched && index == 0) return;
    // The next worker, and the live poll after the download, reach the port by this name: it
    // stays the busy logger's until the port is free again.
    if (index > 0 && index == BusyPortEntry()) return;
    m_portCombo.SetCurSel(BusyPortEntry());
    SetStatus(m_bReceiveData == 1 ? kBusyReadingMemory : kBusyErasing);
    UpdateData(FALSE);
    return;
  }
  if (index > 0) {
    m_portCombo.GetLBText(index, m_strPortName);
    m_pszPortName = m_strPortName.GetString();
    ReadConfiguration();
  } else {
    KillTimer(kTimerLivePoll);
  }
}
