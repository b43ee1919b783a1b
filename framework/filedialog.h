// The file-open and file-save dialog, answered by the view.
#pragma once

#include "framework/afx.h"
#include "framework/cstring.h"
#include "framework/wnd.h"

class CFileDialog {
 public:
  CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
              CWnd* parent = nullptr, DWORD size = 0, BOOL vistaStyle = TRUE);

  // Shows the dialog; IDOK with a path chosen, IDCANCEL otherwise.
  intptr_t DoModal();
  CString GetPathName() const { return path_; }
  const zfw::FileDialogRequest& Request() const { return request_; }

 private:
  zfw::FileDialogRequest request_;
  CString path_;
};
