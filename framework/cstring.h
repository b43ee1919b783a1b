// CString: the text type of the window layer. UTF-8 inside; lengths are in bytes, which is
// what the file writers need. Format never depends on the process locale.
#pragma once

#include <string>
#include <string_view>

#include "framework/numfmt.h"

class CString {
 public:
  CString() = default;
  CString(const char* s) : s_(s ? s : "") {}  // NOLINT: implicit, like the framework's
  CString(std::string s) : s_(std::move(s)) {}  // NOLINT
  CString(std::string_view s) : s_(s) {}         // NOLINT

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  const char* GetString() const { return s_.c_str(); }
  const std::string& str() const { return s_; }

  // Replaces every occurrence of from (left to right, not overlapping); returns the count.
  int Replace(std::string_view from, std::string_view to);

  template <typename... Args>
  void Format(std::string_view fmt, const Args&... args) {
    s_ = zfw::Format(fmt, args...);
  }

  CString& operator+=(const CString& o) {
    s_ += o.s_;
    return *this;
  }
  CString& operator+=(const char* o) {
    s_ += o;
    return *this;
  }
  friend CString operator+(CString a, const CString& b) { return a += b; }
  friend CString operator+(CString a, const char* b) { return a += b; }
  friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
  friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CString& a, const char* b) { return a.s_ == b; }

 private:
  std::string s_;
};
