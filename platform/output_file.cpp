#include "platform/output_file.h"

#include <cerrno>
#include <filesystem>

#include "platform/errno_text.h"

namespace zv {

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& path, std::string& error) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    error = "create " + path + ": " + ErrnoText(errno != 0 ? errno : EIO);
    return nullptr;
  }
  // No buffer: each row is on its way to the disk when Write returns.
  std::setvbuf(f, nullptr, _IONBF, 0);
  return std::unique_ptr<OutputFile>(new OutputFile(f, path));
}

OutputFile::~OutputFile() { std::fclose(file_); }

bool OutputFile::Write(std::string_view data, std::string& error) {
  errno = 0;
  if (std::fwrite(data.data(), 1, data.size(), file_) == data.size()) return true;
  error = "write " + path_ + ": " + ErrnoText(errno != 0 ? errno : EIO);
  return false;
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace zv
