#include "config/ConfigReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <type_traits>

#include "config/IniLine.h"
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

// Lookups look through the appended entries this many times before they sort
// them: a file read for a few values is never sorted.
constexpr unsigned kScans = 16;

// The text of comments, line ends and replaced values is dropped once the text
// has grown past this and twice what it was after the last time.
constexpr size_t kCompactFrom = 256 * 1024;

// A store's buffers go to the next store unless they grew beyond this.
constexpr size_t kSpareLimit = 1024 * 1024;

inline unsigned char Upper(char c) { return text::UpperByte(static_cast<unsigned char>(c)); }

// Eight bytes from `p` as one number that orders as the bytes do, each byte from
// 'a' to 'z' upper-cased.
inline uint64_t FoldedWord(const char* at) {
  // Written out so that the compiler makes one load of it.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(at);
  const uint64_t word = uint64_t{p[0]} << 56 | uint64_t{p[1]} << 48 | uint64_t{p[2]} << 40 |
                        uint64_t{p[3]} << 32 | uint64_t{p[4]} << 24 | uint64_t{p[5]} << 16 |
                        uint64_t{p[6]} << 8 | uint64_t{p[7]};
  // All eight bytes at once: those from 'a' to 'z' lose 0x20.
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const uint64_t low = word & (0x7F * kOnes);
  const uint64_t lower =
      (low + (0x80 - 'a') * kOnes) & ~(low + (0x80 - 'z' - 1) * kOnes) & ~word & (0x80 * kOnes);
  return word - (lower >> 2);
}

// The first eight upper-cased bytes of the name at `name` of `size` bytes, padded
// with zeros, as one number that orders as the bytes do. `readable` bytes may be
// read from `name` on.
inline uint64_t PrefixOf(const char* name, size_t size, size_t readable) {
  if (size >= 8) return FoldedWord(name);
  if (size == 0) return 0;
  if (readable >= 8) return FoldedWord(name) & ~uint64_t{0} << (8 * (8 - size));
  char padded[8] = {};
  for (size_t i = 0; i < size; ++i) padded[i] = name[i];
  return FoldedWord(padded);
}

inline uint64_t PrefixOf(std::string_view name) {
  return PrefixOf(name.data(), name.size(), name.size());
}

// NoCaseLess as <0, 0, >0, for names with the prefixes `p` and `q`.
inline int CompareNames(uint64_t p, std::string_view a, uint64_t q, std::string_view b) {
  if (p != q) return p < q ? -1 : 1;
  // Equal prefixes: the first bytes, up to eight, are equal already.
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = n < 8 ? n : 8;
  for (; i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0;) i += 8;
  for (; i < n; ++i) {
    if (a[i] == b[i]) continue;
    const unsigned char u = Upper(a[i]), v = Upper(b[i]);
    if (u != v) return u < v ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Copies `count` bytes; short pieces, which most of a rendered file is made of,
// in two fixed-size copies that may overlap, without a call.
inline char* Put(char* out, const char* in, size_t count) {
  if (count <= 16) {
    if (count >= 8) {
      std::memcpy(out, in, 8);
      std::memcpy(out + count - 8, in + count - 8, 8);
    } else if (count >= 4) {
      std::memcpy(out, in, 4);
      std::memcpy(out + count - 4, in + count - 4, 4);
    } else {
      for (size_t i = 0; i < count; ++i) out[i] = in[i];
    }
  } else if (count <= 32) {
    std::memcpy(out, in, 16);
    std::memcpy(out + count - 16, in + count - 16, 16);
  } else {
    std::memcpy(out, in, count);
  }
  return out + count;
}

}  // namespace

thread_local std::unique_ptr<ConfigReader::Storage> ConfigReader::spare_[2];

size_t ConfigReader::Storage::Footprint() const {
  return capacity + (entries.capacity() + merged.capacity()) * sizeof(Entry) +
         sorting * sizeof(SortKey) + (sections.capacity() + ranked.capacity()) * sizeof(Section) +
         starts.capacity() * sizeof(size_t);
}

ConfigReader::ConfigReader()
    : own_(spare_[1]   ? std::move(spare_[1])
           : spare_[0] ? std::move(spare_[0])
                       : std::make_unique<Storage>()),
      data_(*own_) {
  Sorted();
}

ConfigReader::~ConfigReader() {
  // A destructor must not throw; the file stays as it was when the save cannot run.
  // A store with nothing to write has nothing to save, and none can lock it now.
  if (loaded_ && writable_ && modified_) {
    try {
      Save();
    } catch (...) {
    }
  }
  Clear();
  // The larger storages stay, up to a limit.
  const size_t footprint = data_.Footprint();
  if (footprint > kSpareLimit) return;
  std::unique_ptr<Storage>& slot = !spare_[0]                                        ? spare_[0]
                                   : !spare_[1]                                      ? spare_[1]
                                   : spare_[0]->Footprint() < spare_[1]->Footprint() ? spare_[0]
                                                                                     : spare_[1];
  if (!slot || slot->Footprint() < footprint) slot = std::move(own_);
}

void ConfigReader::Open(const std::string& path, bool writable) {
  Save();
  // Load empties the store.
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

void ConfigReader::OpenFor(const std::string& path, std::string_view section,
                           const std::string_view* keys, std::string_view* values, size_t count,
                           const std::string* readAhead) {
  Save();
  path_ = path;
  Cleanup();
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  Wanted wanted{section, PrefixOf(section), keys, std::min(count, kMostWanted),
                {},      section.empty(),   0};
  for (size_t i = 0; i < wanted.count; ++i) wanted.prefixes[i] = PrefixOf(keys[i]);
  // Each key has its entry, empty until found; none is sorted or joined.
  data_.entries.assign(wanted.count, Entry(0, 0, 0, 0, 0, 0));
  wanted_ = &wanted;
  BeginParse();
  bool opened = false;
  const platform::Result read = ParseFile(path_, nullptr, &opened, readAhead);
  wanted_ = nullptr;
  load_ = read;
  if (opened) EndParse(read);
  writable_ = false;
  // What was found stays as a store of one section would hold it. The section's
  // name goes into the text first: the text may move as it grows.
  if (wanted.found) SectionNamed(section, false);
  size_t kept = 0;
  for (size_t i = 0; i < wanted.count; ++i) {
    if (!(wanted.found >> i & 1)) continue;
    values[i] = ValueOf(data_.entries[i]);
    data_.entries[kept] = data_.entries[i];
    data_.entries[kept++].section = lastSection_;
  }
  data_.entries.resize(kept);
  if (kept) Sorted();
}

void ConfigReader::TakeWanted(const IniLine& read) {
  Wanted& wanted = *wanted_;
  const char* const text = data_.text.get();
  const std::string_view name = read.name;
  if (read.kind == IniLine::Kind::kHeader) {
    wanted.inSection =
        name.size() == wanted.section.size() &&
        CompareNames(PrefixOf(name), name, wanted.sectionPrefix, wanted.section) == 0;
    return;
  }
  if (read.kind != IniLine::Kind::kKey || !wanted.inSection) return;
  const size_t key = static_cast<size_t>(name.data() - text);
  const uint64_t prefix = PrefixOf(name.data(), name.size(), data_.size - key);
  for (size_t i = 0; i < wanted.count; ++i) {
    if (prefix != wanted.prefixes[i]) continue;
    const std::string_view wantedKey = wanted.keys[i];
    if (name.size() != wantedKey.size() ||
        (name.size() > 8 && CompareNames(prefix, name, prefix, wantedKey) != 0))
      continue;
    // A later value wins, under the name as first read.
    Entry& entry = data_.entries[i];
    if (!(wanted.found >> i & 1)) {
      entry.prefix = prefix;
      entry.keyOffset = key;
      entry.keySize = name.size();
    }
    entry.valueOffset = read.value.data() ? static_cast<size_t>(read.value.data() - text) : 0;
    entry.valueSize = read.value.size();
    wanted.found |= uint32_t{1} << i;
    return;
  }
}

void ConfigReader::OpenBytes(const std::string& path, std::string_view bytes) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  BeginParse();
  ParseBytes(bytes, nullptr);
  EndParse(platform::Result());
  load_ = platform::Result();
}

void ConfigReader::ParseBytes(std::string_view bytes, const LineSeen* seen) {
  // The bytes are kept where the names and values of the store live.
  const size_t line = data_.size;
  if (!bytes.empty()) std::memcpy(Reserve(bytes.size()), bytes.data(), bytes.size());
  data_.size += bytes.size();
  const size_t next = ParseLines(line, true);
  if (seen && next > line) (*seen)(std::string_view(data_.text.get() + line, next - line));
}

bool ConfigReader::OpenCopy(const std::string& path, const std::string& sourcePath,
                            const LineSeen& seen, const std::string* readAhead) {
  Save();
  Cleanup();
  path_ = path;
  writable_ = false;
  CThreadLock lock(&section_, "ConfigReader::Load", false);
  BeginParse();
  bool opened = false;
  const platform::Result read =
      sourcePath.empty() ? platform::Result() : ParseFile(sourcePath, &seen, &opened, readAhead);
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
                                         bool* opened, const std::string* readAhead) {
  if (readAhead) {
    // Read whole already, as the loop below would have read it.
    *opened = true;
    ParseBytes(*readAhead, seen);
    return platform::Result();
  }
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
    // Fewer bytes than asked for are the end of the file.
    const bool atEnd = count < kReadBlock;
    const size_t next = ParseLines(line, atEnd);
    const char* const text = data_.text.get();
    if (seen && next > line) (*seen)(std::string_view(text + line, next - line));
    line = next;
    if (atEnd) return read;
    if (data_.size >= compactAt_) {
      // OpenFor's entries stand for its keys, one each, in their order.
      if (!wanted_) Normalize();
      line = CompactText(line);
      compactAt_ = std::max(kCompactFrom, 2 * data_.size);
    }
  }
}

size_t ConfigReader::ParseLines(size_t from, bool atEnd) {
  const char* const text = data_.text.get();
  const size_t textSize = data_.size;
  const char* const end = text + textSize;
  const char* line = text + from;
  // Finds where the line ends, and where the next begins.
  const char* lineEnd = nullptr;
  const char* next = nullptr;
  const auto split = [&line, &lineEnd, &next, end, atEnd] {
    const char* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
    if (!lf && !atEnd) return false;
    // A CR right before the LF belongs to the line end; a last line keeps its CR.
    lineEnd = lf ? lf - (lf > line && lf[-1] == '\r') : end;
    next = lf ? lf + 1 : end;
    return true;
  };
  // The first line may start with a byte-order mark: it takes the long way.
  if (firstLine_ && line < end) {
    if (!split()) return from;
    ParseLine(line, lineEnd);
    line = next;
  }
  // The rest works on copies of what it changes, so that nothing it writes makes
  // the compiler fetch them again; they go back before anything else looks.
  std::vector<Entry>& entries = data_.entries;
  Entry* out = nullptr;   // the next entry's place
  Entry* room = nullptr;  // the end of the places made
  uint32_t section = lastSection_;
  size_t appended = appended_, limit = appendLimit_;
  const auto settle = [&] {
    entries.resize(static_cast<size_t>(out - entries.data()));
    lastSection_ = section;
    appended_ = appended;
  };
  const auto resume = [&] {
    const size_t count = entries.size();
    entries.resize(std::max(count + 64, entries.capacity()));
    out = entries.data() + count;
    room = entries.data() + entries.size();
    section = lastSection_;
    appended = appended_;
    limit = appendLimit_;
  };
  resume();
  for (; line < end && split(); line = next) {
    const IniLine read =
        IniLine::Classify(std::string_view(line, static_cast<size_t>(lineEnd - line)), false);
    if (read.kind == IniLine::Kind::kSkipped) continue;
    if (wanted_) {
      TakeWanted(read);
      continue;
    }
    if (read.kind == IniLine::Kind::kHeader || section == kNoSection) {
      settle();
      // Keys before the first header live in the section named "", which no header
      // can name, and are written back first.
      if (read.kind == IniLine::Kind::kHeader)
        SectionNamed(read.name, true);
      else
        SectionNamed(std::string_view(), false);
      resume();
      if (read.kind == IniLine::Kind::kHeader) continue;
    }
    if (out == room) {
      const size_t count = entries.size();
      entries.resize(2 * count);
      out = entries.data() + count;
      room = entries.data() + entries.size();
    }
    const size_t key = static_cast<size_t>(read.name.data() - text);
    // A line without '=' has no value: any place will do for its nothing.
    const size_t value = read.value.data() ? static_cast<size_t>(read.value.data() - text) : 0;
    *out++ = Entry(PrefixOf(read.name.data(), read.name.size(), textSize - key), key,
                   read.name.size(), value, read.value.size(), section);
    if (++appended >= limit) {
      settle();
      Normalize();
      resume();
    }
  }
  settle();
  return static_cast<size_t>(line - text);
}

inline void ConfigReader::ParseLine(const char* line, const char* lineEnd) {
  const IniLine read =
      IniLine::Classify(std::string_view(line, static_cast<size_t>(lineEnd - line)), firstLine_);
  if (firstLine_) {
    firstLine_ = false;
    utf8Bom_ = read.mark == IniLine::Mark::kUtf8;
    utf16Bom_ = read.mark == IniLine::Mark::kUtf16;
  }
  if (wanted_) return TakeWanted(read);
  if (read.kind == IniLine::Kind::kHeader) {
    SectionNamed(read.name, true);
  } else if (read.kind == IniLine::Kind::kKey) {
    // Keys before the first header live in the section named "", which no header
    // can name, and are written back first.
    if (lastSection_ == kNoSection) SectionNamed(std::string_view(), false);
    const char* const text = data_.text.get();
    const size_t key = static_cast<size_t>(read.name.data() - text);
    // A line without '=' has no value: any place will do for its nothing.
    const size_t value = read.value.data() ? static_cast<size_t>(read.value.data() - text) : 0;
    Store(lastSection_, key, read.name.size(), value, read.value.size());
  }
}

char* ConfigReader::Reserve(size_t more) const {
  if (data_.capacity - data_.size < more) {
    const size_t capacity = std::max(data_.size + more, data_.capacity + data_.capacity / 2);
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
  ++appended_;
  return lastSection_;
}

inline void ConfigReader::Store(uint32_t section, size_t keyOffset, size_t keySize,
                                size_t valueOffset, size_t valueSize) {
  if (data_.entries.capacity() == 0) data_.entries.reserve(64);
  data_.entries.emplace_back(
      PrefixOf(data_.text.get() + keyOffset, keySize, data_.size - keyOffset), keyOffset, keySize,
      valueOffset, valueSize, section);
  if (++appended_ >= appendLimit_) Normalize();
}

void ConfigReader::Normalize() const {
  scans_ = 0;
  if (data_.entries.size() == sortedEntries_) {
    if (data_.sections.size() > sortedSections_) RankSections();
    return Sorted();
  }
  Order();
  // One entry per key: the name as first read, the value given last.
  std::vector<Entry>& entries = data_.entries;
  std::vector<Entry>& merged = data_.merged;
  merged.clear();
  merged.reserve(entries.size());
  for (size_t rank = 0, begin = 0; rank < data_.sections.size(); begin = data_.starts[rank++])
    EachKey(begin, data_.starts[rank], [&entries, &merged](size_t first, size_t last) {
      merged.push_back(entries[first]);
      merged.back().valueOffset = entries[last].valueOffset;
      merged.back().valueSize = entries[last].valueSize;
    });
  entries.swap(merged);
  sortedEntries_ = entries.size();
  Sorted();
  ReleaseLarge();
}

void ConfigReader::ReleaseLarge() const {
  // What sorting a large store took goes now rather than while the store grows.
  const auto release = [](auto& vector) {
    using Vector = std::remove_reference_t<decltype(vector)>;
    if (vector.capacity() * sizeof(typename Vector::value_type) > kSpareLimit)
      Vector().swap(vector);
  };
  release(data_.merged);
  release(data_.ranked);
  release(data_.starts);
  if (data_.sorting * sizeof(SortKey) > kSpareLimit) {
    data_.keys.reset();
    data_.sorting = 0;
  }
}

void ConfigReader::Sorted() const {
  // Appended keys are sorted in once they outnumber the sorted ones.
  appended_ = 0;
  appendLimit_ = std::max(kSortBatch, sortedEntries_ + sortedSections_ + 1);
}

void ConfigReader::Order() const {
  if (data_.sections.size() > sortedSections_) RankSections();
  const std::vector<Entry>& entries = data_.entries;
  const size_t count = entries.size();
  // By section first, keeping the order within each, as the keys of a section
  // stand together in a file: only each section's keys are sorted among
  // themselves, and only in sections that gained some.
  std::vector<size_t>& starts = data_.starts;
  starts.assign(data_.sections.size() + 1, 0);
  for (const Entry& entry : entries) ++starts[entry.section + 1];
  for (size_t rank = 1; rank < starts.size(); ++rank) starts[rank] += starts[rank - 1];
  SortKey* const keys = SortKeys(count);
  // Each section's next place; a section that gained a key is marked by the
  // last bit, as places are counted in twos.
  for (size_t& start : starts) start *= 2;
  for (size_t i = 0; i < count; ++i) {
    const Entry& entry = entries[i];
    size_t& next = starts[entry.section];
    keys[next / 2] = {entry.prefix, i};
    next = (next + 2) | (i >= sortedEntries_);
  }
  const auto compare = [&entries, this](const SortKey& a, const SortKey& b) {
    return CompareNames(a.prefix, KeyOf(entries[a.index]), b.prefix, KeyOf(entries[b.index]));
  };
  for (size_t rank = 0, begin = 0; rank + 1 < starts.size(); ++rank) {
    const size_t end = starts[rank] / 2;
    if (starts[rank] & 1) SortKeysOf(keys + begin, keys + end, compare);
    starts[rank] = begin = end;
  }
}

template <typename Each>
void ConfigReader::EachKey(size_t begin, size_t end, const Each& each) const {
  const std::vector<Entry>& entries = data_.entries;
  const SortKey* const keys = data_.keys.get();
  // Equal prefixes: names of eight bytes or less are equal when their sizes are.
  const auto same = [&entries, this](const SortKey& a, const SortKey& b) {
    if (a.prefix != b.prefix) return false;
    const Entry &x = entries[a.index], &y = entries[b.index];
    return x.keySize == y.keySize &&
           (x.keySize <= 8 || CompareNames(x.prefix, KeyOf(x), y.prefix, KeyOf(y)) == 0);
  };
  for (size_t at = begin; at < end;) {
    size_t last = at;
    while (last + 1 < end && same(keys[at], keys[last + 1])) ++last;
    each(keys[at].index, keys[last].index);
    at = last + 1;
  }
}

template <typename Compare>
void ConfigReader::SortKeysOf(SortKey* first, SortKey* last, const Compare& compare) {
  // The first eight bytes settle nearly everything without a look at the names.
  const auto less = [&compare](const SortKey& a, const SortKey& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : compare(a, b) < 0;
  };
  // A section holds a few dozen keys at most, as a rule: inserting each in its
  // place costs least, and keeps equal names in the order of their places.
  if (last - first <= kInsertionMost) {
    for (SortKey* next = first + 1; next < last; ++next) {
      if (!less(*next, next[-1])) continue;
      const SortKey moved = *next;
      SortKey* at = next;
      do {
        *at = at[-1];
        --at;
      } while (at != first && less(moved, at[-1]));
      *at = moved;
    }
    return;
  }
  std::sort(first, last, [&compare](const SortKey& a, const SortKey& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    const int names = compare(a, b);
    return names != 0 ? names < 0 : a.index < b.index;
  });
}

ConfigReader::SortKey* ConfigReader::SortKeys(size_t count) const {
  if (data_.sorting < count) {
    data_.keys.reset(new SortKey[count]);
    data_.sorting = count;
  }
  return data_.keys.get();
}

void ConfigReader::RankSections() const {
  std::vector<Section>& sections = data_.sections;
  const size_t count = sections.size();
  // By name, and among equal names by first use, so that the first spelling stays:
  // every sorted section was named before any appended one.
  SortKey* const keys = SortKeys(count);
  for (size_t i = 0; i < count; ++i) keys[i] = {sections[i].prefix, i};
  const auto compare = [&sections, this](const SortKey& a, const SortKey& b) {
    return CompareNames(a.prefix, NameOf(sections[a.index]), b.prefix, NameOf(sections[b.index]));
  };
  SortKeysOf(keys, keys + count, compare);
  std::vector<Section>& ranked = data_.ranked;
  ranked.clear();
  std::vector<size_t>& rank = data_.starts;  // free until the entries are ordered
  rank.resize(count);
  for (size_t i = 0; i < count; ++i) {
    if (i == 0 || compare(keys[i - 1], keys[i]) != 0) ranked.push_back(sections[keys[i].index]);
    rank[keys[i].index] = ranked.size() - 1;
  }
  sections.swap(ranked);
  sortedSections_ = sections.size();
  // The new ranks keep the order of the sorted entries: new names only come between.
  for (Entry& entry : data_.entries) entry.section = static_cast<uint32_t>(rank[entry.section]);
  if (lastSection_ != kNoSection) lastSection_ = static_cast<uint32_t>(rank[lastSection_]);
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
  if (scans_ >= kScans) Normalize();
  const std::vector<Entry>& entries = data_.entries;
  const std::vector<Section>& sections = data_.sections;
  const uint64_t keyPrefix = PrefixOf(key);
  const uint64_t sectionPrefix = PrefixOf(section);
  // Equal prefixes: names of eight bytes or less are equal when their sizes are.
  const auto isKey = [&](const Entry& entry) {
    if (entry.prefix != keyPrefix) return entry.prefix < keyPrefix ? -1 : 1;
    if (entry.keySize <= 8 || key.size() <= 8)
      return entry.keySize < key.size() ? -1 : entry.keySize > key.size() ? 1 : 0;
    return CompareNames(entry.prefix, KeyOf(entry), keyPrefix, key);
  };
  const auto isSection = [&](const Section& named) {
    if (named.prefix != sectionPrefix) return named.prefix < sectionPrefix ? -1 : 1;
    if (named.size <= 8 || section.size() <= 8)
      return named.size < section.size() ? -1 : named.size > section.size() ? 1 : 0;
    return CompareNames(named.prefix, NameOf(named), sectionPrefix, section);
  };
  // The appended entries, the last first: a later value wins.
  if (entries.size() > sortedEntries_) ++scans_;
  for (size_t i = entries.size(); i-- > sortedEntries_;) {
    const Entry& entry = entries[i];
    if (entry.prefix == keyPrefix && isKey(entry) == 0 && isSection(sections[entry.section]) == 0)
      return &entry;
  }
  const auto sortedSections = sections.begin() + static_cast<ptrdiff_t>(sortedSections_);
  const auto named =
      std::lower_bound(sections.begin(), sortedSections, section,
                       [&](const Section& a, std::string_view) { return isSection(a) < 0; });
  if (named == sortedSections || isSection(*named) != 0) return nullptr;
  const uint32_t rank = static_cast<uint32_t>(named - sections.begin());
  const auto sortedEntries = entries.begin() + static_cast<ptrdiff_t>(sortedEntries_);
  const auto found =
      std::lower_bound(entries.begin(), sortedEntries, key, [&](const Entry& a, std::string_view) {
        return a.section != rank ? a.section < rank : isKey(a) < 0;
      });
  if (found == sortedEntries || found->section != rank || isKey(*found) != 0) return nullptr;
  return &*found;
}

std::string ConfigReader::GetString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
  return std::string(GetView(section, key, defaultValue));
}

std::string_view ConfigReader::GetView(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? ValueOf(*entry) : defaultValue;
}

namespace {

// AtoI of a value, which is not terminated: read up to its first NUL as the C
// library reads a string.
int ValueToInt(std::string_view value) {
  char copy[64];
  if (value.size() >= sizeof copy) return text::AtoI(std::string(value));
  std::memcpy(copy, value.data(), value.size());
  copy[value.size()] = '\0';
  return text::AtoI(copy);
}

}  // namespace

// For a missing key the integer getters return the default as it is: "%d" and
// AtoI give back every int unchanged.
int ConfigReader::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? ValueToInt(ValueOf(*entry)) : defaultValue;
}

double ConfigReader::GetDouble(std::string_view section, std::string_view key,
                               double defaultValue) const {
  const Entry* entry = Find(section, key);
  // The default goes through "%f" on purpose: six decimals, as callers expect.
  return entry != nullptr ? text::AtoF(std::string(ValueOf(*entry)))
                          : text::AtoF(text::Format("%f", defaultValue));
}

bool ConfigReader::GetBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
  const Entry* entry = Find(section, key);
  return entry != nullptr ? ValueToInt(ValueOf(*entry)) != 0 : defaultValue;
}

void ConfigReader::SetString(std::string_view section, std::string_view key,
                             std::string_view value) {
  // Text read from this store moves when the text grows: such views are copied first.
  const std::less_equal<const char*> atMost;
  const char* const text = data_.text.get();
  const auto ours = [&](std::string_view view) {
    return !view.empty() && atMost(text, view.data()) && atMost(view.data(), text + data_.size);
  };
  if (ours(section) || ours(key) || ours(value)) {
    SetString(std::string(section), std::string(key), std::string(value));
    return;
  }
  modified_ = true;
  const uint32_t named = SectionNamed(section, false);
  // "key=value", as a line of a file would hold them.
  char* at = Reserve(key.size() + 1 + value.size());
  const size_t offset = data_.size;
  at = Put(at, key.data(), key.size());
  *at++ = '=';
  Put(at, value.data(), value.size());
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
  // A store that is not sorted yet is rendered in order without being sorted:
  // the package step renders once and never looks again.
  const bool sorted = data_.entries.size() == sortedEntries_;
  if (!sorted)
    Order();
  else if (data_.sections.size() > sortedSections_)
    RankSections();
  const std::vector<Section>& sections = data_.sections;
  const std::vector<Entry>& entries = data_.entries;
  // Room for every section and entry, of which a later value may replace some.
  size_t room = utf8Bom_ ? 3 : 0;
  for (const Section& section : sections) room += 2 + (section.size ? section.size + 4 : 0);
  for (const Entry& entry : entries) room += entry.keySize + entry.valueSize + 3;
  // Sized once and filled in place: a document is thousands of short pieces. A
  // string that had room already gives it without clearing it first.
  bytes->resize(room);
  char* const start = &(*bytes)[0];
  char* out = start;
  const auto put = [&out](const char* data, size_t count) { out = Put(out, data, count); };
  const char* const text = data_.text.get();
  const auto putEntry = [&put, text](const Entry& key, const Entry& value) {
    const size_t keyEnd = key.keyOffset + key.keySize;
    if (&key == &value && value.valueOffset == keyEnd + 1 && text[keyEnd] == '=') {
      // Most keys stand in the text as their line does: one piece.
      put(text + key.keyOffset, key.keySize + 1 + key.valueSize);
    } else {
      put(text + key.keyOffset, key.keySize);
      put("=", 1);
      put(text + value.valueOffset, value.valueSize);
    }
    put("\r\n", 2);
  };
  if (utf8Bom_) put(kUtf8Bom, 3);
  const Entry* entry = entries.data();
  const Entry* const end = entry + entries.size();
  size_t begin = 0;  // of the section's keys, when they are ordered apart
  for (uint32_t rank = 0; rank < sections.size(); ++rank) {
    put("\r\n", 2);
    const Section& section = sections[rank];
    if (section.size) {
      put("[", 1);
      put(text + section.offset, section.size);
      put("]\r\n", 3);
    }
    if (sorted) {
      for (; entry != end && entry->section == rank; ++entry) putEntry(*entry, *entry);
    } else {
      EachKey(begin, data_.starts[rank], [&entries, &putEntry](size_t first, size_t last) {
        putEntry(entries[first], entries[last]);
      });
      begin = data_.starts[rank];
    }
  }
  bytes->resize(static_cast<size_t>(out - start));
  ReleaseLarge();
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
  Clear();
}

void ConfigReader::Clear() {
  data_.size = 0;
  data_.sections.clear();
  data_.entries.clear();
  sortedSections_ = 0;
  sortedEntries_ = 0;
  lastSection_ = kNoSection;
  scans_ = 0;
  Sorted();
}
