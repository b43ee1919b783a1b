#include "dialog/dialog_template.h"

#include "dialog/resource.h"

namespace {

using zfw::ControlClass;
using zfw::DialogItem;
using namespace zfw::style;

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr uint32_t kLabel = kChild | SS_LEFT | WS_GROUP;
constexpr uint32_t kReadout = kChild | ES_READONLY | ES_NUMBER | ES_RIGHT | WS_BORDER | WS_TABSTOP;
constexpr uint32_t kGroupBox = kChild | BS_GROUPBOX | BS_CENTER;
constexpr uint32_t kPushButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr uint32_t kToggle = kChild | BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP;
constexpr uint32_t kNumberEdit = kChild | ES_NUMBER | WS_BORDER;

DialogItem Item(int id, ControlClass cls, uint32_t style, int x, int y, int cx, int cy) {
  return DialogItem{id, cls, style, CRect{x, y, cx, cy}};
}

zfw::DialogTemplate Build() {
  zfw::DialogTemplate t;
  t.id = IDD_ORVIK_DIALOG;
  t.title = "Zentrova";
  t.cx = 225;
  t.cy = 294;
  t.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_CENTER | DS_SHELLFONT;
  t.exStyle = WS_EX_APPWINDOW;
  t.fontName = "MS Shell Dlg";
  t.fontPoints = 8;
  t.fontWeight = 400;
  t.charSet = 204;
  const auto B = ControlClass::kButton;
  const auto E = ControlClass::kEdit;
  const auto S = ControlClass::kStatic;
  t.items = {
      Item(IDC_PORT, ControlClass::kComboBox, kChild | CBS_DROPDOWN | WS_VSCROLL, 18, 29, 54, 77),
      Item(IDC_CAP_PORT, S, kLabel, 18, 17, 18, 8),
      Item(IDC_DATETIME, E, kChild | ES_READONLY | ES_CENTER | WS_BORDER | WS_TABSTOP, 118, 143, 100, 15),
      Item(IDC_CURRENT, E, kReadout, 66, 73, 40, 15),
      Item(IDC_CAP_CURRENT, S, kLabel, 66, 60, 36, 8),
      Item(IDC_VOLTAGE, E, kReadout, 15, 73, 40, 15),
      Item(IDC_CAP_VOLTAGE, S, kLabel, 15, 60, 36, 8),
      Item(IDC_CAPACITY, E, kReadout, 15, 103, 40, 15),
      Item(IDC_CAP_CAPACITY, S, kLabel, 15, 92, 42, 8),
      Item(IDC_CAP_DATETIME, S, kLabel, 118, 132, 45, 8),
      Item(IDC_STATUS, S, kLabel, 82, 31, 130, 10),
      Item(IDC_CAP_CONFIGURATION, B, kGroupBox, 7, 130, 106, 156),
      Item(IDC_SET_CONFIG, B, kPushButton, 14, 262, 91, 18),
      Item(IDC_SYNC_CLOCK, B, kPushButton, 126, 164, 86, 18),
      Item(IDC_RECEIVE, B, kToggle, 126, 83, 86, 18),
      Item(IDC_RECORD_PERIOD, E, kChild | WS_BORDER, 78, 162, 28, 14),
      Item(IDC_CAP_RECORD_PERIOD, S, kLabel, 15, 161, 60, 18),
      Item(IDC_CAP_EVENT_RECORD, S, kLabel, 15, 182, 60, 17),
      Item(IDC_EVENT_CHECK, B, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 86, 183, 14, 14),
      Item(IDC_ERASE, B, kPushButton, 126, 61, 86, 18),
      Item(IDC_POWER, E, kReadout, 66, 103, 40, 15),
      Item(IDC_CAP_POWER, S, kLabel, 66, 92, 36, 8),
      Item(IDC_CAP_RECORD_TO_FILE, B, kGroupBox, 118, 190, 100, 59),
      Item(IDC_POLL_PERIOD, E, kNumberEdit, 180, 204, 28, 14),
      Item(IDC_CAP_POLL_PERIOD, S, kLabel, 126, 203, 44, 21),
      Item(IDC_RECORD, B, kToggle, 123, 225, 91, 18),
      Item(IDC_NOMINAL_VOLTAGE, E, kChild | ES_READONLY | WS_BORDER, 78, 144, 28, 14),
      Item(IDC_CAP_NOMINAL_VOLTAGE, S, kLabel, 15, 147, 42, 9),
      Item(IDC_CAP_MEASUREMENTS, B, kGroupBox, 7, 47, 106, 78),
      Item(IDC_CAP_MEMORY, B, kGroupBox, 119, 47, 100, 78),
      Item(IDC_PROGRESS, ControlClass::kProgress, kChild | PBS_SMOOTH | WS_BORDER, 126, 108, 86, 11),
      Item(IDC_DEVICE_INFO, S, kLabel, 119, 256, 98, 28),
      Item(IDC_LANGUAGE, B, kToggle, 168, 7, 49, 18),
      Item(IDC_CAP_SHUNT, B, kGroupBox, 11, 204, 97, 53),
      Item(IDC_SHUNT_MV, E, kNumberEdit, 77, 219, 28, 14),
      Item(IDC_CAP_SHUNT_MV, S, kLabel, 16, 222, 56, 9),
      Item(IDC_SHUNT_A, E, kNumberEdit, 77, 238, 28, 14),
      Item(IDC_CAP_SHUNT_A, S, kLabel, 15, 241, 52, 9),
      // Last, so that the tab order of the controls before it stays; beside the language
      // toggle, in the top row that nothing else uses.
      Item(IDC_CHART, B, kPushButton, 114, 7, 50, 18),
  };
  return t;
}

}  // namespace

const zfw::DialogTemplate& MainDialogTemplate() {
  static const zfw::DialogTemplate tmpl = Build();
  return tmpl;
}
