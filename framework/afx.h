// Basic types and constants of the window layer. The names follow the dialog framework the
// program was designed against; the values of style bits are our own, the values of message
// box types, answers, colours and file-dialog flags are the ones the program's callers use.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using BYTE = uint8_t;
using DWORD = uint32_t;
using UINT_PTR = uintptr_t;
using COLORREF = uint32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// An icon handle: the icon group's resource id, 0 for none.
using HICON = int;

struct CPoint {
  int x = 0;
  int y = 0;
};

// A rectangle as x, y, width, height (dialog units in the template).
struct CRect {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
};

// Message box types and answers.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Progress bar colours: CLR_DEFAULT means the platform's own bar colour.
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

// File dialog flags.
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;

// Window and control styles (our own bit values).
namespace zfw::style {
constexpr uint32_t WS_CHILD = 1u << 0;
constexpr uint32_t WS_VISIBLE = 1u << 1;
constexpr uint32_t WS_TABSTOP = 1u << 2;
constexpr uint32_t WS_GROUP = 1u << 3;
constexpr uint32_t WS_BORDER = 1u << 4;
constexpr uint32_t WS_VSCROLL = 1u << 5;
constexpr uint32_t WS_POPUP = 1u << 6;
constexpr uint32_t WS_CAPTION = 1u << 7;
constexpr uint32_t WS_SYSMENU = 1u << 8;
constexpr uint32_t WS_MINIMIZEBOX = 1u << 9;
constexpr uint32_t DS_MODALFRAME = 1u << 10;
constexpr uint32_t DS_CENTER = 1u << 11;
constexpr uint32_t DS_SHELLFONT = 1u << 12;
// Buttons.
constexpr uint32_t BS_PUSHBUTTON = 1u << 13;
constexpr uint32_t BS_AUTOCHECKBOX = 1u << 14;
constexpr uint32_t BS_PUSHLIKE = 1u << 15;
constexpr uint32_t BS_GROUPBOX = 1u << 16;
constexpr uint32_t BS_CENTER = 1u << 17;
// Edits.
constexpr uint32_t ES_READONLY = 1u << 18;
constexpr uint32_t ES_NUMBER = 1u << 19;
constexpr uint32_t ES_RIGHT = 1u << 20;
constexpr uint32_t ES_CENTER = 1u << 21;
// Statics, combo boxes, progress bars.
constexpr uint32_t SS_LEFT = 1u << 22;
constexpr uint32_t CBS_DROPDOWN = 1u << 23;
constexpr uint32_t PBS_SMOOTH = 1u << 24;
}  // namespace zfw::style

constexpr uint32_t WS_EX_APPWINDOW = 1u << 0;
