#include "TempDir.h"

#include <chrono>
#include <deque>
#include <fstream>
#include <random>

#include "platform/Platform.h"

bool TempDir::Create() {
  Remove();
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  std::mt19937_64 random(std::random_device{}() ^
                         std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; !error && attempt < 100; ++attempt) {
    const fs::path candidate = base / ("kvb-test-" + std::to_string(random()));
    if (fs::create_directory(candidate, error)) path_ = candidate.string();
    if (!path_.empty()) return true;
  }
  return false;
}

void TempDir::Remove() {
  if (!path_.empty()) RemoveAll(path_);
  path_.clear();
}

void RemoveAll(const std::string& path) {
  std::error_code error, ignored;
  // Windows refuses to delete read-only files, so give write access back first.
  if (!fs::is_symlink(path, ignored))
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
  for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
       it.increment(error))
    if (!it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  fs::remove_all(path, error);
}

std::string TempDir::Join(const std::string& name) const {
  return (fs::path(path_) / fs::path(name).make_preferred()).string();
}

bool TempDir::Exists(const std::string& name) const {
  std::error_code error;
  return fs::exists(fs::symlink_status(Join(name), error));
}

void TempDirTest::TearDown() { platform::InjectWriteFault(0); }

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
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

std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(ReadBytes(std::string(KVB_TEST_DATA_DIR) + "/data/" + name));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.emplace_back();
    for (size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
      end = line.find('|', at);
      rows.back().push_back(Unescape(line.substr(at, end - at)));
    }
  }
  return rows;
}

ScopedEnvironment::ScopedEnvironment(const std::string& name, const std::string& value)
    : name_(name) {
  if (const char* previous = std::getenv(name.c_str())) previous_ = previous;
  Set(name, value);
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
  // putenv keeps the text it is given (and is in both C libraries): keep them all.
  static std::deque<std::string>* texts = new std::deque<std::string>();
  putenv(&texts->emplace_back(name + "=" + value)[0]);
}
