// A file the program writes its text rows to (the recording and the memory dump). Every Write
// hands its bytes to the operating system before it returns, with no buffer in the program:
// a crash loses at most the row being written.
//
// A file has one writer: while an OutputFile holds it, no other create of it succeeds, in
// this process or another (on Linux an advisory lock on the open file, which every other
// zentrova process asks for too; on Windows the system's share modes, the file shared for
// reading only). Readers may look at the rows meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zv {

// The reason a create gives for a file another writer holds.
inline constexpr char kFileInUse[] = "the file is in use by another writer";

class OutputFile {
 public:
  // Creates the file, or empties an existing one that no other writer holds. Null, with a
  // one-line reason in error ("create /x/y.txt: Permission denied", "create /x/y.txt: the
  // file is in use by another writer"), when it cannot; a file in use is left as it was.
  static std::unique_ptr<OutputFile> Create(const std::string& path, std::string& error);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes all of data. False, with a reason in error, when the system took less.
  bool Write(std::string_view data, std::string& error);
  const std::string& Path() const { return path_; }

 private:
  OutputFile(std::intptr_t handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  std::intptr_t handle_;  // the system's: a file descriptor, or a Windows HANDLE
  std::string path_;
};

// Whether something (a file, a folder) already has this name.
bool PathExists(const std::string& path);

}  // namespace zv
