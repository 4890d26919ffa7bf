#include "TempDir.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

bool TempDir::Create() {
  Remove();
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) return false;
  std::mt19937_64 generator(
      std::random_device{}() ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "kvb-test-" << std::hex << generator();
    const fs::path candidate = base / name.str();
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return true;
    }
  }
  return false;
}

void TempDir::Remove() {
  if (path_.empty()) return;
  std::error_code error;
  // Windows refuses to delete read-only files, so give write access back first.
  for (fs::recursive_directory_iterator it(path_, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code ignored;
    if (!it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, error);
  path_.clear();
}

std::string TempDir::Join(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

bool TempDir::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(Join(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::string TempDir::ReadFile(const std::string& name) const {
  std::ifstream in(Join(name), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempDir::Exists(const std::string& name) const {
  std::error_code error;
  return fs::exists(fs::symlink_status(Join(name), error));
}
