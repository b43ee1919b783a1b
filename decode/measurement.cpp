#include "dialog/orvik_dlg.h"
void COrvikDlg::DecodeMeasurement() {}
