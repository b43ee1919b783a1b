// The files of rows on Windows: one writer each, guarded by the system's share modes. The
// file is shared for reading only, so that a second writer is refused (it would have to share
// writing) while a reader may look at the rows, as on Linux. The check comes before
// CREATE_ALWAYS empties the file, so a refused create leaves the holder's rows alone.
#include <windows.h>

#include "platform/output_file.h"
#include "platform/win32_error.h"

namespace zv {

namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, std::string& error) {
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    error = "create " + path + ": " + (code == ERROR_SHARING_VIOLATION ? std::string(kFileInUse) : Win32ErrorText(code));
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(new OutputFile(reinterpret_cast<std::intptr_t>(h), path));
}

OutputFile::~OutputFile() { ::CloseHandle(AsHandle(handle_)); }

bool OutputFile::Write(std::string_view data, std::string& error) {
  while (!data.empty()) {
    const DWORD chunk = data.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), data.data(), chunk, &written, nullptr) || written == 0) {
      const DWORD code = ::GetLastError();
      error = "write " + path_ + ": " + (code == 0 ? std::string("nothing was written") : Win32ErrorText(code));
      return false;
    }
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace zv
