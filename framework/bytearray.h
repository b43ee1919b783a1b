// CByteArray: the growable byte array frames are built and received in.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "framework/afx.h"

// Thrown by an accessor given an index outside the array. The window's message loop reports it
// in a message box and goes on with the next message, as the framework the program was
// designed against does.
class CInvalidArgException : public std::invalid_argument {
 public:
  CInvalidArgException() : std::invalid_argument("Encountered an improper argument.") {}
};

class CByteArray {
 public:
  // Appends one byte; returns its index.
  int Add(BYTE b) {
    bytes_.push_back(b);
    return static_cast<int>(bytes_.size()) - 1;
  }
  // The byte at index; throws CInvalidArgException outside 0..size-1.
  BYTE GetAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= bytes_.size()) throw CInvalidArgException();
    return bytes_[static_cast<std::size_t>(index)];
  }
  BYTE operator[](int index) const { return GetAt(index); }
  int GetSize() const { return static_cast<int>(bytes_.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return bytes_.empty(); }
  void RemoveAll() { bytes_.clear(); }
  const BYTE* GetData() const { return bytes_.data(); }
  const std::vector<BYTE>& Bytes() const { return bytes_; }
  void Append(const BYTE* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }

 private:
  std::vector<BYTE> bytes_;
};
