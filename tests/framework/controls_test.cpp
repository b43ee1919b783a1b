// Control objects that are not attached to a window yet: every class does nothing when
// changed and answers as an empty control would, rather than reaching for a window it has not.
#include <gtest/gtest.h>

#include "framework/wnd.h"

namespace {

TEST(UnattachedControls, DoNothingAndAnswerEmpty) {
  CWnd wnd;
  wnd.SetWindowText("x");
  EXPECT_EQ(wnd.GetWindowText().str(), "");
  EXPECT_EQ(wnd.EnableWindow(TRUE), FALSE);
  EXPECT_EQ(wnd.IsWindowEnabled(), FALSE);
  wnd.SetFocus();

  CButton button;
  button.SetCheck(1);
  EXPECT_EQ(button.GetCheck(), 0);

  CEdit edit;
  edit.SetSel(0, -1);

  CComboBox combo;
  combo.ResetContent();
  EXPECT_EQ(combo.AddString("COM1"), -1);
  EXPECT_EQ(combo.SetCurSel(0), -1);
  EXPECT_EQ(combo.GetCurSel(), -1);
  EXPECT_EQ(combo.GetCount(), 0);
  EXPECT_EQ(combo.GetLBTextLen(0), -1);
  CString text("kept");
  combo.GetLBText(0, text);
  EXPECT_EQ(text.str(), "kept");

  CProgressCtrl progress;
  progress.SetRange(0, 120);
  progress.SetRange32(0, 120);
  EXPECT_EQ(progress.SetPos(5), 0);
  EXPECT_EQ(progress.GetPos(), 0);
  EXPECT_EQ(progress.SetStep(10), 0);
  EXPECT_EQ(progress.SetBarColor(RGB(0, 0, 255)), CLR_DEFAULT);
}

}  // namespace
