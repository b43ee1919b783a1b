#include "dialog/orvik_dlg.h"
void COrvikDlg::OnTimer(UINT_PTR id) { CDialogEx::OnTimer(id); }
void COrvikDlg::PollTick(bool) {}
void COrvikDlg::EraseWaitTick() {}
