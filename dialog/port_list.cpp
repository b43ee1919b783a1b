#include "dialog/orvik_dlg.h"
void COrvikDlg::EnumeratePorts() {}
void COrvikDlg::OnLButtonDblClk(UINT, CPoint) {}
void COrvikDlg::OnCbnSelchangePort() {}
