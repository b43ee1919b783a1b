#include "dialog/orvik_dlg.h"
void COrvikDlg::ReadConfiguration() {}
void COrvikDlg::OnBnClickedSetConfig() {}
void COrvikDlg::OnBnClickedSyncClock() {}
void COrvikDlg::OnBnClickedErase() {}
