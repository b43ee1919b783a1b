// Message maps: which handler of a window class runs for which message and control.
#pragma once

#include <span>

#include "framework/afx.h"

namespace zfw {

enum class Msg {
  kPaint,
  kQueryDragIcon,
  kTimer,
  kLButtonDblClk,
  kBnClicked,
  kEnSetFocus,
  kCbnSelChange,
};

struct MsgArgs {
  UINT_PTR timerId = 0;
  UINT flags = 0;
  CPoint point;
};

template <class T>
struct MessageMapEntry {
  Msg msg;
  int id;  // control id; 0 for window messages
  void (T::*plain)() = nullptr;
  void (T::*timer)(UINT_PTR) = nullptr;
  void (T::*mouse)(UINT, CPoint) = nullptr;
  HICON (T::*query)() = nullptr;
};

template <class T>
constexpr MessageMapEntry<T> OnControl(Msg msg, int id, void (T::*fn)()) {
  return {msg, id, fn, nullptr, nullptr, nullptr};
}
template <class T>
constexpr MessageMapEntry<T> OnWindow(Msg msg, void (T::*fn)()) {
  return {msg, 0, fn, nullptr, nullptr, nullptr};
}
template <class T>
constexpr MessageMapEntry<T> OnTimerMsg(void (T::*fn)(UINT_PTR)) {
  return {Msg::kTimer, 0, nullptr, fn, nullptr, nullptr};
}
template <class T>
constexpr MessageMapEntry<T> OnMouseMsg(Msg msg, void (T::*fn)(UINT, CPoint)) {
  return {msg, 0, nullptr, nullptr, fn, nullptr};
}
template <class T>
constexpr MessageMapEntry<T> OnQueryMsg(Msg msg, HICON (T::*fn)()) {
  return {msg, 0, nullptr, nullptr, nullptr, fn};
}

// Runs the first entry of map that matches msg and id; returns whether one did.
template <class T>
bool DispatchMessageMap(T& self, std::span<const MessageMapEntry<T>> map, Msg msg, int id, const MsgArgs& args) {
  for (const auto& e : map) {
    if (e.msg != msg || e.id != id) continue;
    if (e.plain) (self.*e.plain)();
    else if (e.timer) (self.*e.timer)(args.timerId);
    else if (e.mouse) (self.*e.mouse)(args.flags, args.point);
    else if (e.query) (void)(self.*e.query)();
    return true;
  }
  return false;
}

}  // namespace zfw
