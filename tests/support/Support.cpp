#include "support/Support.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>

void RemoveAll(const std::string& path) {
  std::error_code error, ignored;
  // Windows refuses to delete read-only files: write access goes back first.
  for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
       it.increment(error))
    if (!it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path, error);
}

// Names keep plain ASCII: every byte outside printable ASCII, '%' and ' ' is %XX.
static std::string Escape(const std::string& path) {
  std::string escaped;
  for (unsigned char c : path) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", c);
    escaped += c <= ' ' || c >= 0x7F || c == '%' ? hex : std::string(1, c);
  }
  return escaped;
}

std::string ReadBytes(const std::string& path) {
  std::ostringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::string Unescape(const std::string& text) {
  std::string bytes;
  for (size_t at = 0; at < text.size(); ++at)
    bytes += text[at] == '%' && at + 2 < text.size()
                 ? static_cast<char>(std::stoi(text.substr((at += 2) - 1, 2), nullptr, 16))
                 : text[at];
  return bytes;
}

TempDir::TempDir() {
  std::random_device random;
  do
    path_ = (fs::temp_directory_path() /
             ("kvb-test-" + std::to_string(random()) + "-" + std::to_string(random())))
                .string();
  while (!fs::create_directory(path_));  // throws where no folder can be made
}

TempDir::~TempDir() { RemoveAll(path_); }

std::string TempDir::Join(const std::string& name) const {
  return (fs::path(path_) / fs::path(name).make_preferred()).string();
}

void SetEnvironment(const std::string& name, const std::string& value) {
  // putenv keeps the very text it is given: one text per name, freed once replaced.
  static std::map<std::string, std::unique_ptr<std::string>> texts;
  auto text = std::make_unique<std::string>(name + "=" + value);
  putenv(&(*text)[0]);
  texts[name] = std::move(text);
}

Tree Snapshot(const std::string& root) {
  Tree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status();
    const std::string path = it->path().lexically_relative(root).generic_string();
    auto& [line, content] = tree[path];
    if (fs::is_symlink(status)) {
      line = "l " + Escape(path) + " -> " + fs::read_symlink(it->path()).string();
    } else if (fs::is_directory(status)) {
      line = "d " + Escape(path);
    } else if (!fs::is_regular_file(status)) {
      line = "s " + Escape(path);  // a FIFO or a device: never read
    } else {
      const fs::perms writable =
          fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
      line = "f " + Escape(path) +
             ((status.permissions() & writable) == fs::perms::none ? " (read-only)" : "");
      content = ReadBytes(it->path().string());
    }
  }
  return tree;
}
