#include "framework/cstring.h"

int CString::Replace(std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  int count = 0;
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = s_.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(s_, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(s_, pos, std::string::npos);
  s_ = std::move(out);
  return count;
}
