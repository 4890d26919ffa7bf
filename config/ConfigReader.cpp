#include "config/ConfigReader.h"

#include <cstring>

#include "config/LineReader.h"
#include "config/Text.h"
#include "diag/CThreadLock.h"
#include "platform/Platform.h"

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Narrows [*begin, *end) of `line` to its text without blanks at either end.
inline void Trim(const std::string& line, size_t* begin, size_t* end) {
  while (*end > *begin && IsBlank(line[*end - 1])) --*end;
  while (*begin < *end && IsBlank(line[*begin])) ++*begin;
}

}  // namespace

// Every step of every lookup comes here, so it stays in this file where the
// map code can inline it; equal bytes skip the case folding.
bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const auto* x = reinterpret_cast<const unsigned char*>(a.data());
  const auto* y = reinterpret_cast<const unsigned char*>(b.data());
  for (size_t i = 0; i < n; ++i) {
    if (x[i] == y[i]) continue;
    const unsigned char u = text::UpperByte(x[i]);
    const unsigned char v = text::UpperByte(y[i]);
    if (u != v) return u < v;
  }
  return a.size() < b.size();
}

ConfigReader::ConfigReader() = default;

ConfigReader::~ConfigReader() {
  // A destructor must not throw; the file stays as it was when the save cannot run.
  try {
    Save();
  } catch (...) {
  }
  Cleanup();
}

void ConfigReader::Open(const std::string& path, bool writable) {
  Save();
  Cleanup();
  path_ = path;
  if (writable) platform::RemoveStaleTemporary(path_);
  Load();
  writable_ = writable;
}

void ConfigReader::Load() {
  Cleanup();
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  utf8Bom_ = false;
  utf16Bom_ = false;
  LineReader reader;
  loadStatus_ = reader.Open(path_);
  loadError_ = loadStatus_ == platform::Status::kOk ? 0 : platform::LastError();
  if (loadStatus_ == platform::Status::kOk) Parse(reader, nullptr);
}

void ConfigReader::OpenFrom(const std::string& path, LineReader& source, const LineSeen& seen) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  Parse(source, &seen);
}

void ConfigReader::Parse(LineReader& reader, const LineSeen* seen) {
  utf8Bom_ = false;
  utf16Bom_ = false;
  // Scratch strings keep their capacity from line to line.
  std::string line;
  std::string name;
  std::string key;
  std::string value;
  ConfigSection* current = nullptr;
  bool firstLine = true;
  while (reader.ReadLine(&line)) {
    if (seen) (*seen)(line);
    size_t begin = 0;
    size_t end = line.size();
    if (firstLine) {
      firstLine = false;
      if (line.compare(0, 3, kUtf8Bom) == 0) {
        utf8Bom_ = true;
        begin = 3;
      } else if (line.size() >= 2 && ((line[0] == '\xFF' && line[1] == '\xFE') ||
                                      (line[0] == '\xFE' && line[1] == '\xFF'))) {
        utf16Bom_ = true;
      }
    }
    Trim(line, &begin, &end);
    if (end - begin < 3) continue;
    const char first = line[begin];
    if (first == ';' || first == '#') continue;
    if (first == '/' && line[begin + 1] == '/') continue;

    if (first == '[') {
      name.assign(line, begin + 1, end - begin - 2);
      auto it = document_.lower_bound(name);
      if (it == document_.end() || document_.key_comp()(name, it->first))
        it = document_.emplace_hint(it, name, ConfigSection());
      current = &it->second;
      continue;
    }

    const char* text = line.data();
    const char* equals = static_cast<const char*>(std::memchr(text + begin, '=', end - begin));
    if (equals != nullptr) {
      const size_t at = static_cast<size_t>(equals - text);
      size_t keyBegin = begin, keyEnd = at;
      size_t valueBegin = at + 1, valueEnd = end;
      Trim(line, &keyBegin, &keyEnd);
      Trim(line, &valueBegin, &valueEnd);
      key.assign(line, keyBegin, keyEnd - keyBegin);
      value.assign(line, valueBegin, valueEnd - valueBegin);
    } else {
      key.assign(line, begin, end - begin);
      value.clear();
    }
    // Keys before the first header live in the section named "", which no header
    // can name, and are written back first.
    if (current == nullptr) current = &document_[std::string()];
    // One descent of the tree finds the key or the place for it.
    auto it = current->lower_bound(key);
    if (it == current->end() || current->key_comp()(key, it->first)) {
      current->emplace_hint(it, key, value);
    } else {
      it->second.assign(value);
    }
  }

  loaded_ = true;
  modified_ = false;
  loadStatus_ = reader.Failed() ? platform::Status::kFailed : platform::Status::kOk;
  loadError_ = reader.Error();
}

const std::string* ConfigReader::Find(const std::string& section, const std::string& key) const {
  const auto sectionIt = document_.find(section);
  if (sectionIt == document_.end()) return nullptr;
  const auto keyIt = sectionIt->second.find(key);
  if (keyIt == sectionIt->second.end()) return nullptr;
  return &keyIt->second;
}

std::string ConfigReader::GetString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? *value : defaultValue;
}

// For a missing key the integer getters return the default as it is: "%d" and
// AtoI give back every int unchanged.
int ConfigReader::GetInt(const std::string& section, const std::string& key,
                         int defaultValue) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? text::AtoI(*value) : defaultValue;
}

double ConfigReader::GetDouble(const std::string& section, const std::string& key,
                               double defaultValue) const {
  const std::string* value = Find(section, key);
  // The default goes through "%f" on purpose: six decimals, as callers expect.
  return text::AtoF(value != nullptr ? *value : text::Format("%f", defaultValue));
}

bool ConfigReader::GetBool(const std::string& section, const std::string& key,
                           bool defaultValue) const {
  const std::string* value = Find(section, key);
  return value != nullptr ? text::AtoI(*value) != 0 : defaultValue;
}

void ConfigReader::SetString(const std::string& section, const std::string& key,
                             const std::string& value) {
  modified_ = true;
  ConfigSection& keys = document_[section];
  auto it = keys.lower_bound(key);
  if (it == keys.end() || keys.key_comp()(key, it->first)) {
    keys.emplace_hint(it, key, value);
  } else {
    it->second = value;
  }
}

bool ConfigReader::Render(std::string* bytes) const {
  bytes->clear();
  // A document that is not the whole file, or a UTF-16 file the store cannot
  // represent, would destroy what it replaces.
  if (!loaded_ || !HoldsWholeFile() || utf16Bom_) return false;
  size_t size = 3;
  for (const auto& section : document_) {
    size += section.first.size() + 6;
    for (const auto& entry : section.second) size += entry.first.size() + entry.second.size() + 3;
  }
  bytes->reserve(size);
  if (utf8Bom_) bytes->append(kUtf8Bom, 3);
  for (const auto& section : document_) {
    bytes->append("\r\n", 2);
    if (!section.first.empty()) {
      bytes->append("[", 1);
      bytes->append(section.first);
      bytes->append("]\r\n", 3);
    }
    for (const auto& entry : section.second) {
      bytes->append(entry.first);
      bytes->append("=", 1);
      bytes->append(entry.second);
      bytes->append("\r\n", 2);
    }
  }
  return true;
}

void ConfigReader::Save() {
  CThreadLock lock(&section_, "ConfigReader::Save", false);
  saved_ = Saved::kNothing;
  if (!loaded_ || !writable_ || !modified_) return;
  std::string bytes;
  if (!Render(&bytes)) return;
  const platform::Status status = platform::ReplaceFile(path_, bytes, durable_);
  saved_ = status == platform::Status::kOk         ? Saved::kWritten
           : status == platform::Status::kReadOnly ? Saved::kReadOnly
                                                   : Saved::kFailed;
  saveError_ = status == platform::Status::kOk ? 0 : platform::LastError();
}

void ConfigReader::Close() {
  Save();
  writable_ = false;
}

void ConfigReader::Cleanup() {
  CThreadLock lock(&section_, "ConfigReader::Cleanup", false);
  document_.clear();
}
