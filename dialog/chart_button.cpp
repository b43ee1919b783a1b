// The chart button. The window draws no chart itself: the view that shows it opens one on
// the readings the window tells its observers of, so the window stays free of widgets.
#include "dialog/orvik_dlg.h"

void COrvikDlg::OnBnClickedChart() { View().OpenChart(m_nLanguage); }
