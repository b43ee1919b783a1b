// Window objects: the dialog, its controls, data exchange. A control object is a thin handle
// on one control of its dialog's control model. Until it is attached (by DDX_Control or
// GetDlgItem) every control class behaves the same way: its changes do nothing and its
// queries answer as an empty control would (no text, unchecked, disabled, no selection -1,
// no entries, position 0).
//
// Threads: a dialog and its controls are used on the dialog's window thread only. Other
// threads reach it through PostInput and PostToWindow, which queue work for that thread.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "framework/afx.h"
#include "framework/bytearray.h"
#include "framework/controls.h"
#include "framework/cstring.h"
#include "framework/dlgtemplate.h"
#include "framework/msgloop.h"
#include "framework/msgmap.h"
#include "framework/view.h"

class CDialogEx;

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() = default;

  bool IsAttached() const { return owner_ != nullptr; }
  int GetDlgCtrlID() const { return id_; }
  void Attach(CDialogEx* owner, int id) {
    owner_ = owner;
    id_ = id;
  }

  void SetWindowText(const CString& text);
  CString GetWindowText() const;
  // Returns whether the control was disabled before, like the platform call.
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  // Moves the keyboard focus to this control (its focus handler runs, if it has one).
  void SetFocus();

 protected:
  zfw::ControlModel& Model() const;
  CDialogEx* owner_ = nullptr;
  int id_ = 0;
};

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int check);
};

class CEdit : public CWnd {
 public:
  void SetSel(int start, int end);  // only a whole-text selection is modelled
};

class CComboBox : public CWnd {
 public:
  void ResetContent();
  int AddString(const CString& text);
  int SetCurSel(int index);  // -1 clears the selection
  int GetCurSel() const;     // -1 when nothing is selected
  int GetCount() const;
  int GetLBTextLen(int index) const;  // -1 for an index out of range
  void GetLBText(int index, CString& text) const;
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short low, short high);
  void SetRange32(int low, int high);
  int SetPos(int pos);  // returns the previous position
  int GetPos() const;
  int SetStep(int step);
  COLORREF SetBarColor(COLORREF color);  // returns the previous colour
};

// Thrown by CDataExchange::Fail to end a data exchange at the failing field.
class CUserException : public std::exception {
 public:
  const char* what() const noexcept override { return "data exchange stopped"; }
};

class CDataExchange {
 public:
  CDataExchange(CDialogEx* dlg, BOOL saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
  void PrepareCtrl(int id);
  void PrepareEditCtrl(int id);
  // Moves the focus to the last prepared edit, selects its text, and ends the exchange.
  [[noreturn]] void Fail();

  CDialogEx* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
  int m_idLastControl = 0;
  bool m_bEditLastControl = false;
  // A loading exchange that leaves alone the text the person typed and no saving exchange
  // has read yet (see CDialogEx::UpdateData).
  bool m_bKeepTyped = false;
};

// The exchange kinds. Loading writes the member into the control, saving reads it back.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);       // "%d"
void DDX_Text(CDataExchange* pDX, int id, unsigned& value);  // "%u"
void DDX_Text(CDataExchange* pDX, int id, float& value);     // "%.*g" at precision 6 / "%lf"
void DDX_Check(CDataExchange* pDX, int id, int& value);

class CDialogEx : public CWnd {
 public:
  CDialogEx(const zfw::DialogTemplate& tmpl, CWnd* parent = nullptr);
  ~CDialogEx() override;

  // Builds the window, runs OnInitDialog, shows it and runs the message loop on the calling
  // thread until EndDialog. Returns the EndDialog result, or -1 when the window could not be
  // built.
  intptr_t DoModal();
  // Builds the window, runs OnInitDialog and shows it, without running a loop: tests drive the
  // loop themselves.
  BOOL Create();
  void EndDialog(int result);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);
  // Runs the window's data exchange; FALSE when a field could not be read. A loading
  // exchange run by a timer tick or by work queued with PostToWindow does not write over text
  // the person has typed and no saving exchange has read: a poll must not take back what is
  // being typed. One the person's own input leads to writes every field.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  // Window timers; the ticks arrive as Msg::kTimer on the window thread.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
  BOOL KillTimer(UINT_PTR id);

  CWnd* GetDlgItem(int id);
  void GotoDlgCtrl(CWnd* control);
  int MessageBox(const CString& text, const CString& caption, UINT type = MB_OK);
  HICON SetIcon(HICON icon, BOOL bigIcon);
  BOOL IsIconic() const { return FALSE; }  // the view draws the minimized window itself

  // Window thread: handles one piece of user input as the platform's dialog manager would.
  void HandleInput(const zfw::InputEvent& event);
  // Any thread: queues input for the window thread.
  void PostInput(const zfw::InputEvent& event);
  // Any thread: queues a call on the window thread.
  void PostToWindow(std::function<void()> task);

  zfw::ControlModel& Controls() { return *model_; }
  const zfw::ControlModel& Controls() const { return *model_; }
  zfw::MessageLoop& Loop() { return loop_; }
  zfw::IView& View() { return *view_; }
  zv::IClock& Clock() { return clock_; }
  const zfw::DialogTemplate& Template() const { return tmpl_; }

  // Moves the keyboard focus, running the new control's focus handler if it has one.
  void ChangeFocus(int id);

 protected:
  // The message-map accessor: routes one message to a handler; returns whether one ran.
  virtual bool OnWndMsg(zfw::Msg msg, int id, const zfw::MsgArgs& args);
  virtual void OnTimer(UINT_PTR id);

 private:
  bool BuildWindow();
  void Dispatch(zfw::Msg msg, int id, const zfw::MsgArgs& args = {});
  void ClickButton(int id);

  // What the view's input sink reaches: the dialog while its window is up, nothing after.
  // The sink may be called from the view's thread at any moment, even while the window ends.
  struct InputGate {
    std::mutex mu;
    CDialogEx* dialog = nullptr;  // guarded by mu
  };
  void CloseInputGate();

  const zfw::DialogTemplate& tmpl_;
  zfw::IView* view_;
  std::shared_ptr<InputGate> gate_ = std::make_shared<InputGate>();
  zv::IClock& clock_;
  zfw::MessageLoop loop_;
  std::unique_ptr<zfw::ControlModel> model_;
  std::map<int, std::unique_ptr<CWnd>> tempControls_;  // objects handed out by GetDlgItem
  HICON icon_ = 0;
  int result_ = 0;
  int unattended_ = 0;  // > 0 while a timer tick or queued work runs, not the person's input
};

// The framework's own message box: titled with the application's name.
int AfxMessageBox(const CString& text, UINT type = MB_OK);
