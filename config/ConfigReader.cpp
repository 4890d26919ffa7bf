#include "config/ConfigReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "config/IniLine.h"
#include "config/LineReader.h"
#include "diag/CThreadLock.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Files are read in blocks of the line reader's size: a device or a pipe that
// fills a whole block fails alike.
constexpr size_t kReadBlock = 32 * 1024;

// Appended keys are sorted in once they are this many and outnumber the sorted ones:
// a file that repeats one key a million times holds one entry, not a million.
constexpr size_t kSortBatch = 4096;

// Lookups look through this many appended entries, this many times, before they
// sort them: a small file is never sorted.
constexpr size_t kScanLimit = 1024;
constexpr unsigned kScans = 32;

// The text of comments, line ends and replaced values is dropped once the text
// has grown past this and twice what it was after the last time.
constexpr size_t kCompactFrom = 1024 * 1024;

// A store's buffers go to the next store unless they grew beyond this.
constexpr size_t kSpareLimit = 256 * 1024;

inline unsigned char Upper(char c) { return text::UpperByte(static_cast<unsigned char>(c)); }

// The first eight upper-cased bytes of the name at `name` of `size` bytes, padded
// with zeros, as one number that orders as the bytes do. `readable` bytes may be
// read from `name` on.
inline uint64_t PrefixOf(const char* name, size_t size, size_t readable) {
  uint64_t prefix = 0;
  if (readable >= 8) {
    for (size_t i = 0; i < 8; ++i) prefix = prefix << 8 | static_cast<unsigned char>(name[i]);
    // Each byte from 'a' to 'z' loses 0x20, in all eight at once.
    constexpr uint64_t kOnes = 0x0101010101010101u;
    const uint64_t low = prefix & (0x7F * kOnes);
    const uint64_t lower =
        (low + (0x80 - 'a') * kOnes) & ~(low + (0x80 - 'z' - 1) * kOnes) & ~prefix & (0x80 * kOnes);
    prefix -= lower >> 2;
    if (size < 8) prefix &= size == 0 ? 0 : ~uint64_t{0} << (8 * (8 - size));
    return prefix;
  }
  for (size_t i = 0; i < 8; ++i) prefix = prefix << 8 | (i < size ? Upper(name[i]) : 0);
  return prefix;
}

inline uint64_t PrefixOf(std::string_view name) {
  return PrefixOf(name.data(), name.size(), name.size());
}

// NoCaseLess as <0, 0, >0, for names with the prefixes `p` and `q`.
inline int CompareNames(uint64_t p, std::string_view a, uint64_t q, std::string_view b) {
  if (p != q) return p < q ? -1 : 1;
  // Equal prefixes: the first bytes, up to eight, are equal already.
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = n < 8 ? n : 8; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const unsigned char u = Upper(a[i]), v = Upper(b[i]);
    if (u != v) return u < v ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

thread_local ConfigReader::Storage ConfigReader::spare_;

ConfigReader::ConfigReader() {
  // Every livery opens two small files: the buffers of the last store serve again.
  std::swap(data_, spare_);
}

ConfigReader::~ConfigReader() {
  // A destructor must not throw; the file stays as it was when the save cannot run.
  try {
    Save();
  } catch (...) {
  }
  Cleanup();
  if (spare_.capacity == 0 && data_.capacity <= kSpareLimit &&
      data_.entries.capacity() * sizeof(Entry) <= kSpareLimit &&
      data_.scratch.capacity() * sizeof(Entry) <= kSpareLimit &&
      data_.sections.capacity() * sizeof(Section) <= kSpareLimit)
    std::swap(data_, spare_);
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
  BeginParse();
  bool opened = false;
  const platform::Result read = ParseFile(path_, nullptr, &opened);
  load_ = read;
  if (opened) EndParse(read);
}

void ConfigReader::OpenFrom(const std::string& path, LineReader& source, const LineSeen& seen) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  BeginParse();
  std::string_view line;
  while (source.ReadLine(&line)) {
    seen(line);
    // The line is kept where the names and values of the store live.
    const size_t offset = data_.size;
    std::memcpy(Reserve(line.size()), line.data(), line.size());
    data_.size += line.size();
    ParseLine(offset, line.size());
  }
  EndParse(source.Error());
  // The store stands for the copy, which holds whatever could be read.
  load_ = platform::Result();
}

bool ConfigReader::OpenCopy(const std::string& path, const std::string& sourcePath,
                            const LineSeen& seen) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  BeginParse();
  bool opened = false;
  const platform::Result read =
      sourcePath.empty() ? platform::Result() : ParseFile(sourcePath, &seen, &opened);
  EndParse(opened ? read : platform::Result());
  load_ = platform::Result();
  return !opened || read.Ok();
}

void ConfigReader::BeginParse() {
  utf8Bom_ = false;
  utf16Bom_ = false;
  firstLine_ = true;
  compactAt_ = kCompactFrom;
}

void ConfigReader::EndParse(const platform::Result& read) {
  loaded_ = true;
  modified_ = false;
  load_ = read;
}

platform::Result ConfigReader::ParseFile(const std::string& path, const LineSeen* seen,
                                         bool* opened) {
  platform::File file;
  const platform::Result status = file.Open(path, platform::File::Mode::kRead);
  *opened = status.Ok();
  if (!status.Ok()) return status;
  // Lines as the line reader splits them: a line ends at LF, a CR right before the
  // LF belongs to the line end, and a last line without a line end is a line too.
  size_t line = data_.size;  // where the first line not yet parsed begins
  for (;;) {
    size_t count = 0;
    const platform::Result read = file.Read(Reserve(kReadBlock), kReadBlock, &count);
    // A line cut short by a read error is not a line of the file.
    if (!read.Ok()) return read;
    data_.size += count;
    const char* const text = data_.text.get();
    const size_t end = data_.size;
    size_t next = line;
    while (const char* lf = static_cast<const char*>(std::memchr(text + next, '\n', end - next))) {
      const size_t at = static_cast<size_t>(lf - text);
      ParseLine(next, at - next - (at > next && text[at - 1] == '\r'));
      next = at + 1;
    }
    // Fewer bytes than asked for are the end of the file.
    const bool atEnd = count < kReadBlock;
    if (atEnd && next < end) {
      ParseLine(next, end - next);
      next = end;
    }
    if (seen && next > line) (*seen)(std::string_view(text + line, next - line));
    line = next;
    if (atEnd) return read;
    if (data_.size >= compactAt_) {
      Normalize();
      line = CompactText(line);
      compactAt_ = std::max(kCompactFrom, 2 * data_.size);
    }
  }
}

void ConfigReader::ParseLine(size_t offset, size_t size) {
  const char* const text = data_.text.get();
  const IniLine read = IniLine::Classify(std::string_view(text + offset, size), firstLine_);
  if (firstLine_) {
    firstLine_ = false;
    utf8Bom_ = read.mark == IniLine::Mark::kUtf8;
    utf16Bom_ = read.mark == IniLine::Mark::kUtf16;
  }
  if (read.kind == IniLine::Kind::kHeader) {
    SectionNamed(read.name, true);
  } else if (read.kind == IniLine::Kind::kKey) {
    // Keys before the first header live in the section named "", which no header
    // can name, and are written back first.
    if (lastSection_ == kNoSection) SectionNamed(std::string_view(), false);
    const size_t key = static_cast<size_t>(read.name.data() - text);
    // A line without '=' has no value: any place will do for its nothing.
    const size_t value = read.value.data() ? static_cast<size_t>(read.value.data() - text) : 0;
    Store(lastSection_, key, read.name.size(), value, read.value.size());
  }
}

char* ConfigReader::Reserve(size_t more) const {
  if (data_.capacity - data_.size < more) {
    const size_t capacity = std::max(data_.size + more, 2 * data_.capacity);
    std::unique_ptr<char[]> grown(new char[capacity]);
    if (data_.size) std::memcpy(grown.get(), data_.text.get(), data_.size);
    data_.text = std::move(grown);
    data_.capacity = capacity;
  }
  return data_.text.get() + data_.size;
}

uint32_t ConfigReader::SectionNamed(std::string_view name, bool inText) {
  // Callers write one section after the other: the last one is kept at hand. Any
  // other name is taken as it comes; Normalize joins the sections of one name.
  if (lastSection_ != kNoSection && NameOf(data_.sections[lastSection_]) == name)
    return lastSection_;
  size_t offset;
  if (inText) {
    offset = static_cast<size_t>(name.data() - data_.text.get());
  } else {
    offset = data_.size;
    if (!name.empty()) std::memcpy(Reserve(name.size()), name.data(), name.size());
    data_.size += name.size();
  }
  data_.sections.push_back(
      {offset, name.size(), PrefixOf(data_.text.get() + offset, name.size(), data_.size - offset)});
  lastSection_ = static_cast<uint32_t>(data_.sections.size() - 1);
  return lastSection_;
}

void ConfigReader::Store(uint32_t section, size_t keyOffset, size_t keySize, size_t valueOffset,
                         size_t valueSize) {
  if (data_.entries.capacity() == 0) data_.entries.reserve(64);
  data_.entries.push_back({PrefixOf(data_.text.get() + keyOffset, keySize, data_.size - keyOffset),
                           keyOffset, keySize, valueOffset, valueSize, section, nextOrder_++});
  const size_t appended =
      data_.entries.size() - sortedEntries_ + data_.sections.size() - sortedSections_;
  if ((appended >= kSortBatch && appended > sortedEntries_ + sortedSections_) ||
      nextOrder_ == UINT32_MAX)
    Normalize();
}

void ConfigReader::Normalize() const {
  scans_ = 0;
  if (data_.sections.size() > sortedSections_) RankSections();
  std::vector<Entry>& entries = data_.entries;
  if (entries.size() == sortedEntries_) return;
  // By section first, keeping the order within each: a section's keys stand
  // together in a file, so only each section's keys are sorted among themselves.
  std::vector<Entry>& sorted = data_.scratch;
  sorted.resize(entries.size());
  std::vector<size_t> starts(data_.sections.size() + 1, 0);
  for (const Entry& entry : entries) ++starts[entry.section + 1];
  for (size_t rank = 1; rank < starts.size(); ++rank) starts[rank] += starts[rank - 1];
  std::vector<size_t> next(starts.begin(), starts.end() - 1);
  for (const Entry& entry : entries) sorted[next[entry.section]++] = entry;
  const auto less = [this](const Entry& a, const Entry& b) {
    const int names = CompareNames(a.prefix, KeyOf(a), b.prefix, KeyOf(b));
    return names != 0 ? names < 0 : a.order < b.order;
  };
  // One entry per key: the name as first read, the value given last.
  size_t kept = 0;
  for (size_t rank = 0; rank + 1 < starts.size(); ++rank) {
    const auto first = sorted.begin() + static_cast<ptrdiff_t>(starts[rank]);
    const auto last = sorted.begin() + static_cast<ptrdiff_t>(starts[rank + 1]);
    std::sort(first, last, less);
    for (auto entry = first; entry != last; ++entry) {
      Entry* previous = entry != first ? &entries[kept - 1] : nullptr;
      if (previous && previous->prefix == entry->prefix &&
          CompareNames(previous->prefix, KeyOf(*previous), entry->prefix, KeyOf(*entry)) == 0) {
        previous->valueOffset = entry->valueOffset;
        previous->valueSize = entry->valueSize;
      } else {
        entries[kept] = *entry;
        entries[kept++].order = 0;
      }
    }
  }
  entries.resize(kept);
  sortedEntries_ = kept;
  nextOrder_ = 1;
}

void ConfigReader::RankSections() const {
  std::vector<Section>& sections = data_.sections;
  // By name, and among equal names by first use, so that the first spelling stays:
  // every sorted section was named before any appended one.
  std::vector<uint32_t> order(sections.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [this, &sections](uint32_t a, uint32_t b) {
    const Section &x = sections[a], &y = sections[b];
    const int names = CompareNames(x.prefix, NameOf(x), y.prefix, NameOf(y));
    return names != 0 ? names < 0 : a < b;
  });
  std::vector<uint32_t> rank(sections.size());
  std::vector<Section> ranked;
  ranked.reserve(sections.size());
  for (const uint32_t index : order) {
    const Section& section = sections[index];
    if (ranked.empty() || CompareNames(ranked.back().prefix, NameOf(ranked.back()), section.prefix,
                                       NameOf(section)) != 0)
      ranked.push_back(section);
    rank[index] = static_cast<uint32_t>(ranked.size() - 1);
  }
  sections.swap(ranked);
  sortedSections_ = sections.size();
  // The new ranks keep the order of the sorted entries: new names only come between.
  for (Entry& entry : data_.entries) entry.section = rank[entry.section];
  if (lastSection_ != kNoSection) lastSection_ = rank[lastSection_];
}

size_t ConfigReader::CompactText(size_t keep) const {
  size_t live = data_.size - keep;
  for (const Section& section : data_.sections) live += section.size;
  for (const Entry& entry : data_.entries) live += entry.keySize + 1 + entry.valueSize;
  Storage compact;
  compact.text.reset(new char[live]);
  compact.capacity = live;
  const char* const text = data_.text.get();
  const auto put = [&compact](const char* data, size_t size) {
    const size_t offset = compact.size;
    if (size) std::memcpy(compact.text.get() + offset, data, size);
    compact.size += size;
    return offset;
  };
  for (Section& section : data_.sections) section.offset = put(text + section.offset, section.size);
  for (Entry& entry : data_.entries) {
    // Each key with '=' and its value after it, as Render likes them.
    entry.keyOffset = put(text + entry.keyOffset, entry.keySize);
    put("=", 1);
    entry.valueOffset = put(text + entry.valueOffset, entry.valueSize);
  }
  const size_t kept = put(text + keep, data_.size - keep);
  data_.text = std::move(compact.text);
  data_.size = compact.size;
  data_.capacity = compact.capacity;
  return kept;
}

const ConfigReader::Entry* ConfigReader::Find(std::string_view section,
                                              std::string_view key) const {
  const std::vector<Entry>& entries = data_.entries;
  const std::vector<Section>& sections = data_.sections;
  if (entries.size() - sortedEntries_ > kScanLimit ||
      sections.size() - sortedSections_ > kScanLimit || scans_ >= kScans)
    Normalize();
  const uint64_t sectionPrefix = PrefixOf(section);
  const uint64_t keyPrefix = PrefixOf(key);
  // The appended entries, the last first: a later value wins.
  if (entries.size() > sortedEntries_) ++scans_;
  for (size_t i = entries.size(); i-- > sortedEntries_;) {
    const Entry& entry = entries[i];
    if (entry.prefix != keyPrefix || CompareNames(entry.prefix, KeyOf(entry), keyPrefix, key) != 0)
      continue;
    const Section& named = sections[entry.section];
    if (CompareNames(named.prefix, NameOf(named), sectionPrefix, section) == 0) return &entry;
  }
  const auto sortedSections = sections.begin() + static_cast<ptrdiff_t>(sortedSections_);
  const auto named = std::lower_bound(
      sections.begin(), sortedSections, section, [&](const Section& a, std::string_view) {
        return CompareNames(a.prefix, NameOf(a), sectionPrefix, section) < 0;
      });
  if (named == sortedSections ||
      CompareNames(named->prefix, NameOf(*named), sectionPrefix, section) != 0)
    return nullptr;
  const uint32_t rank = static_cast<uint32_t>(named - sections.begin());
  const auto sortedEntries = entries.begin() + static_cast<ptrdiff_t>(sortedEntries_);
  const auto found =
      std::lower_bound(entries.begin(), sortedEntries, key, [&](const Entry& a, std::string_view) {
        if (a.section != rank) return a.section < rank;
        return CompareNames(a.prefix, KeyOf(a), keyPrefix, key) < 0;
      });
  if (found == sortedEntries || found->section != rank ||
      CompareNames(found->prefix, KeyOf(*found), keyPrefix, key) != 0)
    return nullptr;
  return &*found;
}

std::string ConfigReader::GetString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? std::string(ValueOf(*entry)) : defaultValue;
}

// For a missing key the integer getters return the default as it is: "%d" and
// AtoI give back every int unchanged.
int ConfigReader::GetInt(const std::string& section, const std::string& key,
                         int defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? text::AtoI(std::string(ValueOf(*entry))) : defaultValue;
}

double ConfigReader::GetDouble(const std::string& section, const std::string& key,
                               double defaultValue) const {
  const Entry* entry = Find(section, key);
  // The default goes through "%f" on purpose: six decimals, as callers expect.
  return entry != nullptr ? text::AtoF(std::string(ValueOf(*entry)))
                          : text::AtoF(text::Format("%f", defaultValue));
}

bool ConfigReader::GetBool(const std::string& section, const std::string& key,
                           bool defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? text::AtoI(std::string(ValueOf(*entry))) != 0 : defaultValue;
}

void ConfigReader::SetString(const std::string& section, const std::string& key,
                             const std::string& value) {
  modified_ = true;
  const uint32_t named = SectionNamed(section, false);
  // "key=value", as a line of a file would hold them.
  char* at = Reserve(key.size() + 1 + value.size());
  const size_t offset = data_.size;
  if (!key.empty()) std::memcpy(at, key.data(), key.size());
  at[key.size()] = '=';
  if (!value.empty()) std::memcpy(at + key.size() + 1, value.data(), value.size());
  data_.size += key.size() + 1 + value.size();
  Store(named, offset, key.size(), offset + key.size() + 1, value.size());
}

bool ConfigReader::Render(std::string* bytes) const {
  // A document that is not the whole file, or a UTF-16 file the store cannot
  // represent, would destroy what it replaces.
  if (!loaded_ || !HoldsWholeFile() || utf16Bom_) {
    bytes->clear();
    return false;
  }
  Normalize();
  const std::vector<Section>& sections = data_.sections;
  const std::vector<Entry>& entries = data_.entries;
  size_t size = utf8Bom_ ? 3 : 0;
  for (const Section& section : sections) size += 2 + (section.size ? section.size + 4 : 0);
  for (const Entry& entry : entries) size += entry.keySize + entry.valueSize + 3;
  // Sized once and filled in place: a document is thousands of short pieces. A
  // string that had room already gives it without clearing it first.
  bytes->resize(size);
  char* out = &(*bytes)[0];
  const auto put = [&out](const char* data, size_t count) {
    std::memcpy(out, data, count);
    out += count;
  };
  const char* const text = data_.text.get();
  if (utf8Bom_) put(kUtf8Bom, 3);
  const Entry* entry = entries.data();
  const Entry* const end = entry + entries.size();
  for (uint32_t rank = 0; rank < sections.size(); ++rank) {
    put("\r\n", 2);
    const Section& section = sections[rank];
    if (section.size) {
      put("[", 1);
      put(text + section.offset, section.size);
      put("]\r\n", 3);
    }
    for (; entry != end && entry->section == rank; ++entry) {
      const size_t keyEnd = entry->keyOffset + entry->keySize;
      if (entry->valueOffset == keyEnd + 1 && text[keyEnd] == '=') {
        // Most keys stand in the text as their line does: one piece.
        put(text + entry->keyOffset, entry->keySize + 1 + entry->valueSize);
      } else {
        put(text + entry->keyOffset, entry->keySize);
        put("=", 1);
        put(text + entry->valueOffset, entry->valueSize);
      }
      put("\r\n", 2);
    }
  }
  return true;
}

ConfigReader::Document ConfigReader::GetDocument() const {
  Normalize();
  Document document;
  const Entry* entry = data_.entries.data();
  const Entry* const end = entry + data_.entries.size();
  for (uint32_t rank = 0; rank < data_.sections.size(); ++rank) {
    ConfigSection& keys =
        document.emplace_hint(document.end(), NameOf(data_.sections[rank]), ConfigSection())
            ->second;
    for (; entry != end && entry->section == rank; ++entry)
      keys.emplace_hint(keys.end(), KeyOf(*entry), ValueOf(*entry));
  }
  return document;
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
  data_.size = 0;
  data_.sections.clear();
  data_.entries.clear();
  sortedSections_ = 0;
  sortedEntries_ = 0;
  lastSection_ = kNoSection;
  nextOrder_ = 1;
  scans_ = 0;
}
