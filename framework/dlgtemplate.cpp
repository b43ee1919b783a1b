#include "framework/dlgtemplate.h"

namespace zfw {

const DialogItem* DialogTemplate::Find(int controlId) const {
  for (const auto& item : items) {
    if (item.id == controlId) return &item;
  }
  return nullptr;
}

bool IsPushButton(const DialogItem& item) {
  return item.cls == ControlClass::kButton && (item.style & style::BS_PUSHBUTTON) != 0;
}
bool IsAutoCheck(const DialogItem& item) {
  return item.cls == ControlClass::kButton && (item.style & style::BS_AUTOCHECKBOX) != 0;
}
bool IsGroupBox(const DialogItem& item) {
  return item.cls == ControlClass::kButton && (item.style & style::BS_GROUPBOX) != 0;
}

}  // namespace zfw
