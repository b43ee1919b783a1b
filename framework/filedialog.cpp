#include "framework/filedialog.h"

#include "framework/environment.h"
#include "framework/view.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* /*parent*/, DWORD /*size*/, BOOL /*vistaStyle*/) {
  request_.open = openFileDialog != FALSE;
  request_.defaultExt = defaultExt != nullptr ? defaultExt : "";
  if (!request_.defaultExt.empty() && request_.defaultExt.front() == '.') request_.defaultExt.erase(0, 1);
  request_.fileName = fileName != nullptr ? fileName : "";
  request_.flags = flags;
  request_.filter = filter != nullptr ? filter : "";
}

intptr_t CFileDialog::DoModal() {
  zfw::IView* view = zfw::CurrentEnvironment().view;
  if (view == nullptr) return IDCANCEL;
  const auto chosen = view->FileDialog(request_);
  if (!chosen) return IDCANCEL;
  path_ = CString(*chosen);
  return IDOK;
}
