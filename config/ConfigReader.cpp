#include "config/ConfigReader.h"

#include <cstdint>
#include <cstring>

#include "config/IniLine.h"
#include "config/LineReader.h"
#include "diag/CThreadLock.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

}  // namespace

ConfigReader::ConfigReader() : document_(NewDocument()) {}

ConfigReader::Document* ConfigReader::NewDocument() {
  return new (arena_.allocate(sizeof(Document), alignof(Document))) Document(&arena_);
}

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
  load_ = reader.Open(path_);
  if (load_.Ok()) Parse(reader, nullptr);
}

void ConfigReader::OpenFrom(const std::string& path, LineReader& source, const LineSeen& seen) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  Parse(source, &seen);
  // The store stands for the copy, which holds whatever could be read.
  load_ = platform::Result();
}

void ConfigReader::Parse(LineReader& reader, const LineSeen* seen) {
  utf8Bom_ = false;
  utf16Bom_ = false;
  ConfigSection* current = nullptr;
  bool firstLine = true;
  std::string_view line;
  while (reader.ReadLine(&line)) {
    if (seen) (*seen)(line);
    const IniLine read = IniLine::Classify(line, firstLine);
    if (firstLine) {
      firstLine = false;
      utf8Bom_ = read.mark == IniLine::Mark::kUtf8;
      utf16Bom_ = read.mark == IniLine::Mark::kUtf16;
    }
    if (read.kind == IniLine::Kind::kHeader) {
      current = &SectionNamed(read.name);
    } else if (read.kind == IniLine::Kind::kKey) {
      // Keys before the first header live in the section named "", which no header
      // can name, and are written back first.
      if (current == nullptr) current = &SectionNamed(std::string_view());
      Store(current, read.name, read.value);
    }
  }

  loaded_ = true;
  modified_ = false;
  load_ = reader.Error();
}

ConfigSection& ConfigReader::SectionNamed(std::string_view name) {
  // Callers write one section after the other: the last one is kept at hand.
  if (lastSection_ && lastSectionName_ == name) return *lastSection_;
  // One descent of the tree finds the section or the place for it.
  auto it = document_->lower_bound(name);
  if (it == document_->end() || document_->key_comp()(name, it->first))
    it = document_->emplace_hint(it, std::piecewise_construct, std::forward_as_tuple(name),
                                 std::forward_as_tuple());
  lastSection_ = &it->second;
  lastSectionName_.assign(name);
  return it->second;
}

void ConfigReader::Store(ConfigSection* keys, std::string_view key, std::string_view value) {
  auto it = keys->lower_bound(key);
  if (it == keys->end() || keys->key_comp()(key, it->first))
    keys->emplace_hint(it, std::piecewise_construct, std::forward_as_tuple(key.data(), key.size()),
                       std::forward_as_tuple(value.data(), value.size()));
  else
    it->second.assign(value);
}

const std::pmr::string* ConfigReader::Find(const std::string& section,
                                           const std::string& key) const {
  const auto sectionIt = document_->find(section);
  if (sectionIt == document_->end()) return nullptr;
  const auto keyIt = sectionIt->second.find(key);
  if (keyIt == sectionIt->second.end()) return nullptr;
  return &keyIt->second;
}

std::string ConfigReader::GetString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
  const std::pmr::string* value = Find(section, key);
  return value != nullptr ? std::string(*value) : defaultValue;
}

// For a missing key the integer getters return the default as it is: "%d" and
// AtoI give back every int unchanged.
int ConfigReader::GetInt(const std::string& section, const std::string& key,
                         int defaultValue) const {
  const std::pmr::string* value = Find(section, key);
  return value != nullptr ? text::AtoI(value->c_str()) : defaultValue;
}

double ConfigReader::GetDouble(const std::string& section, const std::string& key,
                               double defaultValue) const {
  const std::pmr::string* value = Find(section, key);
  // The default goes through "%f" on purpose: six decimals, as callers expect.
  return value != nullptr ? text::AtoF(value->c_str())
                          : text::AtoF(text::Format("%f", defaultValue));
}

bool ConfigReader::GetBool(const std::string& section, const std::string& key,
                           bool defaultValue) const {
  const std::pmr::string* value = Find(section, key);
  return value != nullptr ? text::AtoI(value->c_str()) != 0 : defaultValue;
}

void ConfigReader::SetString(const std::string& section, const std::string& key,
                             const std::string& value) {
  modified_ = true;
  Store(&SectionNamed(section), key, value);
}

bool ConfigReader::Render(std::string* bytes) const {
  // A document that is not the whole file, or a UTF-16 file the store cannot
  // represent, would destroy what it replaces.
  if (!loaded_ || !HoldsWholeFile() || utf16Bom_) {
    bytes->clear();
    return false;
  }
  size_t size = utf8Bom_ ? 3 : 0;
  for (const auto& section : *document_) {
    size += 2 + (section.first.empty() ? 0 : section.first.size() + 4);
    for (const auto& entry : section.second) size += entry.first.size() + entry.second.size() + 3;
  }
  // Sized once and filled in place: a document is thousands of short pieces. A
  // string that had room already gives it without clearing it first.
  bytes->resize(size);
  char* out = &(*bytes)[0];
  const auto put = [&out](const char* data, size_t count) {
    std::memcpy(out, data, count);
    out += count;
  };
  if (utf8Bom_) put(kUtf8Bom, 3);
  for (const auto& section : *document_) {
    put("\r\n", 2);
    if (!section.first.empty()) {
      put("[", 1);
      put(section.first.data(), section.first.size());
      put("]\r\n", 3);
    }
    for (const auto& entry : section.second) {
      put(entry.first.data(), entry.first.size());
      put("=", 1);
      put(entry.second.data(), entry.second.size());
      put("\r\n", 2);
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
  saveFailure_ = platform::ReplaceFile(path_, bytes, durable_);
  saved_ = saveFailure_.Ok()                             ? Saved::kWritten
           : saveFailure_ == platform::Status::kReadOnly ? Saved::kReadOnly
                                                         : Saved::kFailed;
}

void ConfigReader::Close() {
  Save();
  writable_ = false;
}

void ConfigReader::Cleanup() {
  CThreadLock lock(&section_, "ConfigReader::Cleanup", false);
  // Every node and text of the document lives in the arena: releasing it is all
  // the taking apart the document needs, so its destructor is never run.
  lastSection_ = nullptr;
  arena_.release();
  document_ = NewDocument();
}
