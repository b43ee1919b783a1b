// The two text files of rows, the recording and the memory dump: how they are named, chosen
// and created, and how a failure to create or write one is told.
#include "decode/row_file.h"

#include "dialog/orvik_dlg.h"
#include "framework/filedialog.h"

namespace {
constexpr char kFilter[] = "Text File (*.txt)|*.txt|;All Files (*.*)|*.*||";
constexpr Bilingual kFileExists{"Этот файл уже существует:\r\n", "This file already exists:\r\n"};
constexpr Bilingual kReplaceIt{"\r\nЗаменить его?", "\r\nReplace it?"};
}  // namespace

CString RowFileName(const CString& chosen, const CString& deviceName) {
  std::string path = chosen.str();
  // Only the file's own name loses ".txt": the folders above it stay as the person chose them.
#if defined(_WIN32)
  const std::size_t slash = path.find_last_of("/\\");
#else
  const std::size_t slash = path.find_last_of('/');
#endif
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  CString name(path.substr(nameStart));
  name.Replace(".txt", "");
  return CString(path.substr(0, nameStart)) + name + " ( " + deviceName + " ).txt";
}

std::unique_ptr<zv::OutputFile> COrvikDlg::ChooseRowFile(CString& path) {
  CFileDialog dialog(FALSE, ".txt", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, kFilter, this);
  if (dialog.DoModal() != IDOK) return nullptr;
  path = RowFileName(dialog.GetPathName(), m_strDeviceName);
  // The dialog asked about the name the person typed; the file made is another one.
  if (zv::PathExists(path.str())) {
    CString head;
    CString tail;
    if (!PickText(kFileExists, head) || !PickText(kReplaceIt, tail)) return nullptr;
    if (AfxMessageBox(head + path + tail, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDOK) return nullptr;
  }
  std::string why;
  auto file = zv::OutputFile::Create(path.str(), why);
  if (!file) ShowFileError(row_file_texts::kCannotCreate, why);
  return file;
}

void COrvikDlg::ShowFileError(const Bilingual& what, const std::string& why) {
  std::fprintf(stderr, "zentrova: %s\n", why.c_str());
  CString text;
  m_strFileError.clear();
  if (!PickText(what, text)) return;
  m_strFileError = (text + "\r\n" + why).str();
  AfxMessageBox(m_strFileError.c_str(), MB_OK | MB_ICONEXCLAMATION);
}
