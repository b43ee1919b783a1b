#include "framework/wnd.h"

#include <cmath>

#include "framework/environment.h"
#include "framework/numfmt.h"
#include "framework/winapp.h"
#include "platform/clock.h"

using zfw::ControlClass;
using zfw::InputEvent;

// ---- controls --------------------------------------------------------------------------

zfw::ControlModel& CWnd::Model() const { return owner_->Controls(); }

void CWnd::SetWindowText(const CString& text) {
  if (owner_ != nullptr) Model().SetText(id_, text.str());
}

CString CWnd::GetWindowText() const { return owner_ != nullptr ? CString(Model().Get(id_).text) : CString(); }

BOOL CWnd::EnableWindow(BOOL enable) {
  if (owner_ == nullptr) return FALSE;
  const bool wasDisabled = !Model().Get(id_).enabled;
  Model().SetEnabled(id_, enable != FALSE);
  return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const { return owner_ != nullptr && Model().Get(id_).enabled ? TRUE : FALSE; }

void CWnd::SetFocus() {
  if (owner_ != nullptr) owner_->ChangeFocus(id_);
}

int CButton::GetCheck() const { return owner_ != nullptr ? Model().Get(id_).check : 0; }
void CButton::SetCheck(int check) {
  if (owner_ != nullptr) Model().SetCheck(id_, check);
}

void CEdit::SetSel(int start, int end) {
  if (owner_ != nullptr && start == 0 && end == -1) Model().SelectAll(id_);
}

void CComboBox::ResetContent() {
  if (owner_ != nullptr) Model().ResetContent(id_);
}
int CComboBox::AddString(const CString& text) { return owner_ != nullptr ? Model().AddString(id_, text.str()) : -1; }
int CComboBox::SetCurSel(int index) {
  if (owner_ == nullptr) return -1;
  Model().SetCurSel(id_, index);
  return Model().Get(id_).curSel;
}
int CComboBox::GetCurSel() const { return owner_ != nullptr ? Model().Get(id_).curSel : -1; }
int CComboBox::GetCount() const { return owner_ != nullptr ? static_cast<int>(Model().Get(id_).items.size()) : 0; }
int CComboBox::GetLBTextLen(int index) const {
  if (owner_ == nullptr) return -1;
  const auto& items = Model().Get(id_).items;
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return -1;
  return static_cast<int>(items[static_cast<std::size_t>(index)].size());
}
void CComboBox::GetLBText(int index, CString& text) const {
  if (owner_ == nullptr) return;
  const auto& items = Model().Get(id_).items;
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return;
  text = CString(items[static_cast<std::size_t>(index)]);
}

void CProgressCtrl::SetRange(short low, short high) {
  if (owner_ != nullptr) Model().SetRange(id_, low, high);
}
void CProgressCtrl::SetRange32(int low, int high) {
  if (owner_ != nullptr) Model().SetRange(id_, low, high);
}
int CProgressCtrl::SetPos(int pos) {
  if (owner_ == nullptr) return 0;
  const int old = Model().Get(id_).pos;
  Model().SetPos(id_, pos);
  return old;
}
int CProgressCtrl::GetPos() const { return owner_ != nullptr ? Model().Get(id_).pos : 0; }
int CProgressCtrl::SetStep(int step) {
  if (owner_ == nullptr) return 0;
  const int old = Model().Get(id_).step;
  Model().SetStep(id_, step);
  return old;
}
COLORREF CProgressCtrl::SetBarColor(COLORREF color) {
  if (owner_ == nullptr) return CLR_DEFAULT;
  const COLORREF old = Model().Get(id_).barColor;
  Model().SetBarColor(id_, color);
  return old;
}

// ---- data exchange ---------------------------------------------------------------------

namespace {
const char kParseInt[] = "Введите целое число.";
const char kParseUnsigned[] = "Введите положительное целое число.";
const char kParseReal[] = "Введите число.";

std::string ControlText(CDataExchange* pDX, int id, std::size_t maxChars) {
  std::string text = pDX->m_pDlgWnd->Controls().Get(id).text;
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

[[noreturn]] void FailWith(CDataExchange* pDX, const char* message) {
  AfxMessageBox(message, MB_ICONEXCLAMATION);
  pDX->Fail();
}

// Whether a loading exchange writes control id; one that does takes the field over from the
// person.
bool Loads(CDataExchange* pDX, int id) {
  zfw::ControlModel& model = pDX->m_pDlgWnd->Controls();
  if (pDX->m_bKeepTyped && model.Typed(id)) return false;
  model.ClearTyped(id);
  return true;
}

// A saving exchange has read what was typed into control id.
void Taken(CDataExchange* pDX, int id) { pDX->m_pDlgWnd->Controls().ClearTyped(id); }

// Raised while a tick or queued work runs.
class Unattended {
 public:
  explicit Unattended(int& depth) : depth_(depth) { ++depth_; }
  ~Unattended() { --depth_; }
  Unattended(const Unattended&) = delete;
  Unattended& operator=(const Unattended&) = delete;

 private:
  int& depth_;
};
}  // namespace

void CDataExchange::PrepareCtrl(int id) {
  m_idLastControl = id;
  m_bEditLastControl = false;
}

void CDataExchange::PrepareEditCtrl(int id) {
  m_idLastControl = id;
  m_bEditLastControl = true;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_idLastControl != 0) {
    m_pDlgWnd->ChangeFocus(m_idLastControl);
    if (m_bEditLastControl) m_pDlgWnd->Controls().SelectAll(m_idLastControl);
  }
  throw CUserException();
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  pDX->PrepareCtrl(id);
  if (!control.IsAttached()) control.Attach(pDX->m_pDlgWnd, id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  pDX->PrepareEditCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    value = CString(pDX->m_pDlgWnd->Controls().Get(id).text);
    Taken(pDX, id);
  } else if (Loads(pDX, id)) {
    pDX->m_pDlgWnd->Controls().SetText(id, value.str());
  }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  pDX->PrepareEditCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    const auto scanned = zfw::ScanInt(ControlText(pDX, id, 63));
    if (!scanned) FailWith(pDX, kParseInt);
    value = *scanned;
    Taken(pDX, id);
  } else if (Loads(pDX, id)) {
    pDX->m_pDlgWnd->Controls().SetText(id, zfw::Format("%d", value));
  }
}

void DDX_Text(CDataExchange* pDX, int id, unsigned& value) {
  pDX->PrepareEditCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    const auto scanned = zfw::ScanUnsigned(ControlText(pDX, id, 63));
    if (!scanned) FailWith(pDX, kParseUnsigned);
    value = *scanned;
    Taken(pDX, id);
  } else if (Loads(pDX, id)) {
    pDX->m_pDlgWnd->Controls().SetText(id, zfw::Format("%u", value));
  }
}

void DDX_Text(CDataExchange* pDX, int id, float& value) {
  pDX->PrepareEditCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    const auto scanned = zfw::ScanDouble(ControlText(pDX, id, 399));
    if (!scanned) FailWith(pDX, kParseReal);
    value = static_cast<float>(*scanned);
    Taken(pDX, id);
  } else if (Loads(pDX, id)) {
    pDX->m_pDlgWnd->Controls().SetText(id, zfw::Format("%.*g", 6, static_cast<double>(value)));
  }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  pDX->PrepareCtrl(id);
  if (pDX->m_bSaveAndValidate) {
    value = pDX->m_pDlgWnd->Controls().Get(id).check;
  } else {
    if (value < 0 || value > 2) value = 0;
    pDX->m_pDlgWnd->Controls().SetCheck(id, value);
  }
}

// ---- dialog ----------------------------------------------------------------------------

CDialogEx::CDialogEx(const zfw::DialogTemplate& tmpl, CWnd* /*parent*/)
    : tmpl_(tmpl),
      view_(zfw::CurrentEnvironment().view),
      clock_(*zfw::CurrentEnvironment().clock),
      loop_(clock_) {
  loop_.SetTimerHandler([this](UINT_PTR id) {
    const Unattended tick(unattended_);
    zfw::MsgArgs args;
    args.timerId = id;
    Dispatch(zfw::Msg::kTimer, 0, args);
  });
}

CDialogEx::~CDialogEx() {
  CloseInputGate();
  if (model_) model_->SetObserver(nullptr);
}

void CDialogEx::CloseInputGate() {
  std::lock_guard lock(gate_->mu);
  gate_->dialog = nullptr;
}

bool CDialogEx::BuildWindow() {
  model_ = std::make_unique<zfw::ControlModel>(tmpl_);
  Attach(this, 0);
  if (!OnInitDialog()) return true;
  // The dialog manager gives the first tab stop that can take it the focus.
  for (const auto& c : model_->All()) {
    if ((c.style & zfw::style::WS_TABSTOP) != 0 && c.enabled) {
      ChangeFocus(c.id);
      break;
    }
  }
  return true;
}

BOOL CDialogEx::Create() {
  if (!BuildWindow()) return FALSE;
  if (view_ != nullptr) {
    gate_->dialog = this;
    view_->Show(tmpl_, model_->All(), icon_, [gate = gate_](const InputEvent& e) {
      std::lock_guard lock(gate->mu);
      if (gate->dialog != nullptr) gate->dialog->PostInput(e);
    });
    model_->SetObserver(view_);
    view_->OnFocusChanged(model_->Focus());
  }
  return TRUE;
}

intptr_t CDialogEx::DoModal() {
  if (!Create()) return -1;
  loop_.Run();
  CloseInputGate();
  if (view_ != nullptr) {
    model_->SetObserver(nullptr);
    view_->Hide();
  }
  return result_;
}

void CDialogEx::EndDialog(int result) {
  result_ = result;
  loop_.Quit();
}

BOOL CDialogEx::OnInitDialog() { return UpdateData(FALSE); }

void CDialogEx::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }

void CDialogEx::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CDialogEx::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  dx.m_bKeepTyped = !saveAndValidate && unattended_ > 0;
  try {
    DoDataExchange(&dx);
  } catch (const CUserException&) {
    return FALSE;
  }
  return TRUE;
}

UINT_PTR CDialogEx::SetTimer(UINT_PTR id, UINT elapseMs) {
  loop_.SetTimer(id, elapseMs);
  return id;
}

BOOL CDialogEx::KillTimer(UINT_PTR id) { return loop_.KillTimer(id) ? TRUE : FALSE; }

CWnd* CDialogEx::GetDlgItem(int id) {
  const zfw::ControlState* c = model_ ? model_->Find(id) : nullptr;
  if (c == nullptr) return nullptr;
  auto& slot = tempControls_[id];
  if (!slot) {
    switch (c->cls) {
      case ControlClass::kButton: slot = std::make_unique<CButton>(); break;
      case ControlClass::kEdit: slot = std::make_unique<CEdit>(); break;
      case ControlClass::kComboBox: slot = std::make_unique<CComboBox>(); break;
      case ControlClass::kProgress: slot = std::make_unique<CProgressCtrl>(); break;
      case ControlClass::kStatic: slot = std::make_unique<CWnd>(); break;
    }
    slot->Attach(this, id);
  }
  return slot.get();
}

void CDialogEx::GotoDlgCtrl(CWnd* control) {
  if (control == nullptr) return;
  ChangeFocus(control->GetDlgCtrlID());
  const zfw::ControlState* c = model_->Find(control->GetDlgCtrlID());
  if (c != nullptr && c->cls == ControlClass::kEdit) model_->SelectAll(c->id);
}

int CDialogEx::MessageBox(const CString& text, const CString& caption, UINT type) {
  if (view_ == nullptr) return (type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
  return view_->MessageBox(zfw::MessageBoxRequest{text.str(), caption.str(), type});
}

HICON CDialogEx::SetIcon(HICON icon, BOOL /*bigIcon*/) {
  const HICON old = icon_;
  icon_ = icon;
  return old;
}

void CDialogEx::ChangeFocus(int id) {
  if (!model_ || model_->Focus() == id) return;
  model_->SetFocus(id);
  const zfw::ControlState* c = model_->Find(id);
  if (c != nullptr && c->cls == ControlClass::kEdit) Dispatch(zfw::Msg::kEnSetFocus, id);
}

bool CDialogEx::OnWndMsg(zfw::Msg msg, int /*id*/, const zfw::MsgArgs& args) {
  if (msg == zfw::Msg::kTimer) {
    OnTimer(args.timerId);
    return true;
  }
  return false;
}

void CDialogEx::OnTimer(UINT_PTR /*id*/) {}

void CDialogEx::Dispatch(zfw::Msg msg, int id, const zfw::MsgArgs& args) {
  // A handler stopped by a bad index is reported, and the window goes on with the next
  // message, as the framework the program was designed against does.
  try {
    OnWndMsg(msg, id, args);
  } catch (const CInvalidArgException& e) {
    AfxMessageBox(e.what(), MB_ICONEXCLAMATION);
  }
}

void CDialogEx::ClickButton(int id) {
  const zfw::ControlState* c = model_->Find(id);
  if (c == nullptr || !c->enabled) return;
  const zfw::DialogItem* item = tmpl_.Find(id);
  if (item != nullptr && zfw::IsAutoCheck(*item)) model_->SetCheck(id, c->check == 0 ? 1 : 0);
  Dispatch(zfw::Msg::kBnClicked, id);
}

void CDialogEx::HandleInput(const InputEvent& e) {
  if (!model_) return;
  switch (e.kind) {
    case InputEvent::Kind::kClick:
      ClickButton(e.id);
      break;
    case InputEvent::Kind::kEditText:
      if (model_->Find(e.id) != nullptr) {
        model_->SetText(e.id, e.text);
        model_->MarkTyped(e.id);
      }
      break;
    case InputEvent::Kind::kFocus:
      if (model_->Find(e.id) != nullptr) ChangeFocus(e.id);
      break;
    case InputEvent::Kind::kComboSelect:
      if (model_->Find(e.id) != nullptr) {
        model_->SetCurSel(e.id, e.index);
        Dispatch(zfw::Msg::kCbnSelChange, e.id);
      }
      break;
    case InputEvent::Kind::kDoubleClick: {
      zfw::MsgArgs args;
      args.point = e.point;
      Dispatch(zfw::Msg::kLButtonDblClk, 0, args);
      break;
    }
    case InputEvent::Kind::kEnter: {
      // Enter on a focused push button presses that button; anywhere else it is the
      // dialog's OK command.
      const zfw::DialogItem* item = tmpl_.Find(model_->Focus());
      if (item != nullptr && zfw::IsPushButton(*item)) {
        ClickButton(item->id);
      } else {
        try {
          OnOK();
        } catch (const CInvalidArgException& ex) {
          AfxMessageBox(ex.what(), MB_ICONEXCLAMATION);
        }
      }
      break;
    }
    case InputEvent::Kind::kEscape:
    case InputEvent::Kind::kClose:
      OnCancel();
      break;
  }
}

void CDialogEx::PostInput(const InputEvent& event) {
  loop_.Post([this, event] { HandleInput(event); });
}

void CDialogEx::PostToWindow(std::function<void()> task) {
  loop_.Post([this, task = std::move(task)] {
    const Unattended queued(unattended_);
    task();
  });
}

int AfxMessageBox(const CString& text, UINT type) {
  zfw::IView* view = zfw::CurrentEnvironment().view;
  if (view == nullptr) return (type & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
  CWinApp* app = AfxGetApp();
  const std::string caption = app != nullptr ? app->m_pszAppName.str() : std::string();
  return view->MessageBox(zfw::MessageBoxRequest{text.str(), caption, type});
}
