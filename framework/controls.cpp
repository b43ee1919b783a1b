#include "framework/controls.h"

#include <stdexcept>
#include <string>

namespace zfw {

ControlModel::ControlModel(const DialogTemplate& tmpl) {
  controls_.reserve(tmpl.items.size());
  for (const auto& item : tmpl.items) {
    ControlState c;
    c.id = item.id;
    c.cls = item.cls;
    c.style = item.style;
    c.rect = item.rect;
    controls_.push_back(std::move(c));
  }
}

const ControlState* ControlModel::Find(int id) const {
  for (const auto& c : controls_) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const ControlState& ControlModel::Get(int id) const {
  const ControlState* c = Find(id);
  if (c == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return *c;
}

ControlState& ControlModel::Mut(int id) { return const_cast<ControlState&>(Get(id)); }

void ControlModel::Changed(const ControlState& c) {
  if (observer_ != nullptr) observer_->OnControlChanged(c);
}

void ControlModel::SetText(int id, const std::string& text) {
  ControlState& c = Mut(id);
  if (c.text == text) return;
  c.text = text;
  Changed(c);
}

void ControlModel::SetCheck(int id, int check) {
  ControlState& c = Mut(id);
  if (c.check == check) return;
  c.check = check;
  Changed(c);
}

void ControlModel::SetEnabled(int id, bool enabled) {
  ControlState& c = Mut(id);
  if (c.enabled == enabled) return;
  c.enabled = enabled;
  Changed(c);
}

void ControlModel::SetFocus(int id) {
  if (focus_ == id) return;
  if (id != 0) Get(id);
  focus_ = id;
  if (observer_ != nullptr) observer_->OnFocusChanged(id);
}

void ControlModel::SelectAll(int id) {
  Get(id);
  if (observer_ != nullptr) observer_->OnSelectAll(id);
}

void ControlModel::ResetContent(int id) {
  ControlState& c = Mut(id);
  c.items.clear();
  c.curSel = -1;
  c.text.clear();
  Changed(c);
}

int ControlModel::AddString(int id, const std::string& item) {
  ControlState& c = Mut(id);
  c.items.push_back(item);
  Changed(c);
  return static_cast<int>(c.items.size()) - 1;
}

void ControlModel::SetCurSel(int id, int index) {
  ControlState& c = Mut(id);
  if (index < 0 || static_cast<std::size_t>(index) >= c.items.size()) index = -1;
  c.curSel = index;
  c.text = index >= 0 ? c.items[static_cast<std::size_t>(index)] : std::string();
  Changed(c);
}

void ControlModel::SetRange(int id, int low, int high) {
  ControlState& c = Mut(id);
  c.rangeLow = low;
  c.rangeHigh = high;
  if (c.pos < low) c.pos = low;
  if (c.pos > high) c.pos = high;
  Changed(c);
}

void ControlModel::SetPos(int id, int pos) {
  ControlState& c = Mut(id);
  if (pos < c.rangeLow) pos = c.rangeLow;
  if (pos > c.rangeHigh) pos = c.rangeHigh;
  if (c.pos == pos) return;
  c.pos = pos;
  Changed(c);
}

void ControlModel::SetStep(int id, int step) {
  ControlState& c = Mut(id);
  c.step = step;
  Changed(c);
}

void ControlModel::SetBarColor(int id, COLORREF color) {
  ControlState& c = Mut(id);
  if (c.barColor == color) return;
  c.barColor = color;
  Changed(c);
}

}  // namespace zfw
