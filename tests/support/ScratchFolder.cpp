#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  if (!Create()) throw std::runtime_error("no temporary folder");
}

std::string ScratchFolder::WriteFile(const std::string& relative,
                                     const std::string& content) const {
  const fs::path target = fs::path(Path()) / fs::path(relative);
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return target.string();
}

std::string ScratchFolder::MakeFolder(const std::string& relative) const {
  const fs::path target = fs::path(Path()) / fs::path(relative);
  fs::create_directories(target);
  return target.string();
}

std::string ScratchFolder::ReadBytes(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool ScratchFolder::ExistsAt(const std::string& nativePath) {
  std::error_code error;
  return fs::exists(nativePath, error);
}
