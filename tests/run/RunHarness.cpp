#include "RunHarness.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kvbtest {

const char* const kUnset = "\x01unset";

namespace {

// Windows refuses to delete read-only files; links are left alone, not followed.
void MakeFilesRemovable(const fs::path& root) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error))
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, error);
  }
}

}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("kvbrun-" + std::to_string(random()) +
                                                            "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no scratch folder");
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  MakeFilesRemovable(path_);
  fs::remove_all(path_, error);
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteBytes(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

Tree Snapshot(const std::string& root) {
  Tree tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const fs::path& path = it->path();
    TreeEntry entry;
    const fs::file_status status = fs::symlink_status(path);
    if (fs::is_symlink(status)) {
      entry.type = 'l';
      entry.linkTarget = fs::read_symlink(path).string();
    } else if (fs::is_directory(status)) {
      entry.type = 'd';
    } else {
      entry.content = ReadBytes(path);
      entry.readOnly = (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                fs::perms::others_write)) == fs::perms::none;
    }
    tree[path.lexically_relative(root).generic_string()] = std::move(entry);
  }
  return tree;
}

std::string EscapePath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : path) {
    if (c <= ' ' || c >= 0x7F || c == '%') {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

std::string UnescapePath(const std::string& path) {
  std::string plain;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size()) {
      plain += static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      plain += path[i];
    }
  }
  return plain;
}

std::string Listing(const Tree& tree, const std::string& root) {
  std::string listing;
  for (const auto& [path, entry] : tree) {
    listing += entry.type;
    listing += ' ';
    listing += EscapePath(path);
    if (entry.type == 'l') listing += " -> " + ReplaceAll(entry.linkTarget, root, "@ROOT@");
    if (entry.readOnly) listing += " (read-only)";
    listing += '\n';
  }
  return listing;
}

}  // namespace kvbtest
