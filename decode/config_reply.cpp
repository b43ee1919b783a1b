#include "dialog/orvik_dlg.h"
void COrvikDlg::DecodeConfiguration() {}
void COrvikDlg::OnBnClickedEventCheck() {}
