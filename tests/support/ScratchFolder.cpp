#include "support/ScratchFolder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    std::ostringstream name;
    name << "kvb-test-" << std::hex << device() << '-' << counter++;
    std::error_code error;
    if (fs::create_directory(base / name.str(), error)) {
      path_ = (base / name.str()).string();
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string ScratchFolder::WriteFile(const std::string& relative,
                                     const std::string& content) const {
  const fs::path target = fs::path(path_) / fs::path(relative);
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return target.string();
}

std::string ScratchFolder::MakeFolder(const std::string& relative) const {
  const fs::path target = fs::path(path_) / fs::path(relative);
  fs::create_directories(target);
  return target.string();
}

std::string ScratchFolder::ReadFile(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool ScratchFolder::Exists(const std::string& nativePath) {
  std::error_code error;
  return fs::exists(nativePath, error);
}
