// A dialog template as data: the window's frame and every control with its id, class,
// styles and rectangle in dialog units, in template order (which is also tab and z order).
#pragma once

#include <string>
#include <vector>

#include "framework/afx.h"

namespace zfw {

enum class ControlClass { kButton, kEdit, kStatic, kComboBox, kProgress };

struct DialogItem {
  int id = 0;
  ControlClass cls = ControlClass::kStatic;
  uint32_t style = 0;  // zfw::style bits; every control is WS_CHILD | WS_VISIBLE
  CRect rect;          // dialog units
};

struct DialogTemplate {
  int id = 0;
  std::string title;
  int cx = 0;  // dialog units
  int cy = 0;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  std::string fontName;
  int fontPoints = 8;
  int fontWeight = 400;
  int charSet = 0;
  std::vector<DialogItem> items;

  const DialogItem* Find(int controlId) const;
};

// What kind of button a BUTTON item is, from its styles.
bool IsPushButton(const DialogItem& item);   // BS_PUSHBUTTON
bool IsAutoCheck(const DialogItem& item);    // BS_AUTOCHECKBOX (push-like or not)
bool IsGroupBox(const DialogItem& item);     // BS_GROUPBOX

}  // namespace zfw
