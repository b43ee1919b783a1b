#include "dialog/orvik_dlg.h"
void COrvikDlg::DecodeReply() {}
void COrvikDlg::ComputeScaleFactors() {}
unsigned COrvikDlg::RxWord(std::size_t) const { return 0; }
unsigned COrvikDlg::RxByte(std::size_t) const { return 0; }
