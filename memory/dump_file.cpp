// The memory dump file: created with its header when a download starts, one row per logged
// record (written a page at a time), closed when the download ends.
#include <mutex>
#include <string>

#include "dialog/orvik_dlg.h"
#include "memory/page.h"

bool COrvikDlg::CreateDumpFile() {
  auto file = ChooseRowFile(m_strDumpPath);
  if (!file) return false;
  std::string why;
  {
    std::lock_guard lock(m_dumpMutex);
    m_hDumpFile = std::move(file);
    m_strDumpLine = zv::mem::DumpHeader(m_strDeviceName.str());
    m_nDumpLineLen = m_strDumpLine.GetLength();
    if (m_hDumpFile->Write(m_strDumpLine.str(), why)) return true;
    m_hDumpFile.reset();
  }
  ShowFileError(row_file_texts::kCannotWrite, why);
  return false;
}

void COrvikDlg::CloseDumpFile() {
  std::lock_guard lock(m_dumpMutex);
  m_hDumpFile.reset();
}

bool COrvikDlg::WritePageRows(const uint8_t* page, const zv::proto::ScaleFactors& factors, uint32_t nominalVoltage,
                              bool unsignedVoltage, std::string& lastStamp, std::string& why) {
  // The page's rows are made first and handed to the system in one write: one call per page
  // instead of one per row, and a crash cuts the file at most inside this page.
  std::string rows;
  std::lock_guard lock(m_dumpMutex);
  for (std::size_t slot = 0; slot < zv::proto::kRecordsPerPage; ++slot) {
    zv::mem::RecordValues v;
    if (!zv::mem::DecodeRecord(page + slot * zv::proto::kRecordBytes, factors, nominalVoltage, unsignedVoltage, v)) {
      continue;
    }
    lastStamp = zv::mem::TimeStamp(v);
    m_strDumpLine = zv::mem::DumpRow(lastStamp, v);
    m_nDumpLineLen = m_strDumpLine.GetLength();
    rows += m_strDumpLine.str();
  }
  return rows.empty() || !m_hDumpFile || m_hDumpFile->Write(rows, why);
}
