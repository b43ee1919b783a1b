#include "dialog/window_events.h"

#include <algorithm>

namespace zv {

void WindowEventList::Add(IWindowEvents* observer) {
  if (observer != nullptr && !Has(observer)) observers_.push_back(observer);
}

void WindowEventList::Remove(IWindowEvents* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

bool WindowEventList::Has(const IWindowEvents* observer) const {
  return std::find(observers_.begin(), observers_.end(), observer) != observers_.end();
}

}  // namespace zv
