// A file the program writes its text rows to (the recording and the memory dump). Every Write
// hands its bytes to the operating system before it returns, with no buffer in the program:
// a crash loses at most the row being written.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace zv {

class OutputFile {
 public:
  // Creates the file, or empties an existing one. Null, with a one-line reason in error
  // ("create /x/y.txt: Permission denied"), when it cannot.
  static std::unique_ptr<OutputFile> Create(const std::string& path, std::string& error);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes all of data. False, with a reason in error, when the system took less.
  bool Write(std::string_view data, std::string& error);
  const std::string& Path() const { return path_; }

 private:
  OutputFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  std::FILE* file_;
  std::string path_;
};

// Whether something (a file, a folder) already has this name.
bool PathExists(const std::string& path);

}  // namespace zv
