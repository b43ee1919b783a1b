#include "platform/output_file.h"

#include <filesystem>

namespace zv {

bool PathExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace zv
