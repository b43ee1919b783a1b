// The control model: the one truth of what each control of a window holds. It is owned and
// changed by the window thread only; views are told of every change with a copy of the
// control's new state and never read the model directly from another thread.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "framework/afx.h"
#include "framework/dlgtemplate.h"

namespace zfw {

struct ControlState {
  int id = 0;
  ControlClass cls = ControlClass::kStatic;
  uint32_t style = 0;
  CRect rect;
  std::string text;  // UTF-8; "\r\n" is a line break in captions
  int check = 0;     // buttons: 0 released/unchecked, 1 pressed/checked
  bool enabled = true;
  // Combo boxes: the list entries and the selected index (-1 none).
  std::vector<std::string> items;
  int curSel = -1;
  // Progress bars.
  int rangeLow = 0;
  int rangeHigh = 100;
  int pos = 0;
  int step = 10;
  COLORREF barColor = CLR_DEFAULT;
};

class IControlObserver {
 public:
  virtual ~IControlObserver() = default;
  // A control's state changed; state is its whole new state.
  virtual void OnControlChanged(const ControlState& state) = 0;
  // The keyboard focus moved to the control id (0: no control has it).
  virtual void OnFocusChanged(int id) = 0;
  // An edit's whole text was selected (after a failed data exchange).
  virtual void OnSelectAll(int id) = 0;
};

class ControlModel {
 public:
  explicit ControlModel(const DialogTemplate& tmpl);

  const ControlState* Find(int id) const;
  const ControlState& Get(int id) const;  // throws std::out_of_range for an unknown id
  const std::vector<ControlState>& All() const { return controls_; }
  int Focus() const { return focus_; }

  void SetObserver(IControlObserver* observer) { observer_ = observer; }

  // Each setter tells the observer when the value really changed.
  void SetText(int id, const std::string& text);
  void SetCheck(int id, int check);
  void SetEnabled(int id, bool enabled);
  void SetFocus(int id);
  void SelectAll(int id);
  void ResetContent(int id);
  int AddString(int id, const std::string& item);  // returns the new entry's index
  void SetCurSel(int id, int index);               // -1 or an index out of range clears it
  void SetRange(int id, int low, int high);
  void SetPos(int id, int pos);
  void SetStep(int id, int step);
  void SetBarColor(int id, COLORREF color);

  // Text the person typed into a control that no saving exchange has read since.
  void MarkTyped(int id) { typed_.insert(id); }
  void ClearTyped(int id) { typed_.erase(id); }
  bool Typed(int id) const { return typed_.count(id) != 0; }

 private:
  ControlState& Mut(int id);
  void Changed(const ControlState& c);

  std::vector<ControlState> controls_;
  int focus_ = 0;
  IControlObserver* observer_ = nullptr;
  std::set<int> typed_;
};

}  // namespace zfw
