// The INI store: one INI-style file held in memory as sections of keys with text
// values, both ordered and matched without regard to letter case. Read with
// typed getters and defaults; written back whole (sorted, without comments) only
// when it was opened writable on a file that loaded, and was changed. Each user
// keeps one store per file and lets the destructor write it back.
//
// The keys are collected flat as they are read and sorted once, when the store is
// first looked at: no tree, and no allocation per key or value.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diag/CCriticalSection.h"
#include "platform/Platform.h"
#include "text/Text.h"

/// Orders names by their upper-cased bytes, compared as unsigned. Every step of
/// every lookup comes here: it is inline so that the map code takes it in.
struct NoCaseLess {
  using is_transparent = void;  // looks names up without making a string of them
  bool operator()(std::string_view a, std::string_view b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      if (a[i] == b[i]) continue;
      const unsigned char u = text::UpperByte(static_cast<unsigned char>(a[i]));
      const unsigned char v = text::UpperByte(static_cast<unsigned char>(b[i]));
      if (u != v) return u < v;
    }
    return a.size() < b.size();
  }
};

/// The keys and values of one section, as GetDocument gives them.
using ConfigSection = std::map<std::string, std::string, NoCaseLess>;

struct IniLine;
class ConfigReader {
 public:
  using Document = std::map<std::string, ConfigSection, NoCaseLess>;

  ConfigReader();
  virtual ~ConfigReader();  // Save when changed, then Cleanup
  ConfigReader(const ConfigReader&) = delete;
  ConfigReader& operator=(const ConfigReader&) = delete;

  /// Saves the previous document if allowed, then loads `path`.
  void Open(const std::string& path, bool writable);
  /// Saves the previous document if allowed, then takes `path` with the document
  /// that `bytes` give, as if the file held them: for a file already read whole.
  /// Such a store is never written back: Render gives its bytes.
  void OpenBytes(const std::string& path, std::string_view bytes);
  /// Takes `path` with the document of the file at `sourcePath` ("" for none; one
  /// that cannot be opened counts as none, as an empty file would); `seen` sees the
  /// text of the lines first, in order, one or several lines at a time. Never
  /// written back. False when reading stopped at a read error: the document holds
  /// the lines read until then.
  /// `readAhead`, when given, holds the whole file at `sourcePath`, read already.
  using LineSeen = std::function<void(std::string_view lines)>;
  bool OpenCopy(const std::string& path, const std::string& sourcePath, const LineSeen& seen,
                const std::string* readAhead = nullptr);

  /// For a file read for a few values: opens `path` as Open(path, false) would,
  /// but keeps only the values of `keys` (at most kMostWanted, each named once) in
  /// `section`, and sets values[i] to what GetView(section, keys[i], values[i])
  /// then gives. The views hold until the store changes. `readAhead` as for OpenCopy.
  static constexpr size_t kMostWanted = 16;
  void OpenFor(const std::string& path, std::string_view section, const std::string_view* keys,
               std::string_view* values, size_t count, const std::string* readAhead = nullptr);

  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  /// GetString without the copy: the view holds until the store changes.
  std::string_view GetView(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
  int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
  double GetDouble(std::string_view section, std::string_view key, double defaultValue) const;
  bool GetBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void SetString(std::string_view section, std::string_view key, std::string_view value);

  /// The bytes that a save writes for this document; false, with none, when it
  /// may not be written back (not loaded whole, or a UTF-16 file).
  bool Render(std::string* bytes) const;
  /// Writes the document when loaded, writable and modified; never throws.
  void Save();
  /// Saves as the destructor would, then stops writing back: the destructor writes
  /// nothing more, and the document and the outcome of the save stay readable.
  void Close();
  /// Empties the document; the path and the flags stay.
  void Cleanup();

  /// Asks Save to put the file on the disk before it replaces the old one: for
  /// files that belong to the user, such as the simulator's configuration.
  void SetDurable(bool durable) { durable_ = durable; }

  bool IsLoaded() const { return loaded_; }
  /// The document holds the whole file: it opened and was read to its end.
  bool HoldsWholeFile() const { return load_.Ok(); }
  /// What the last Open found: kOk for a whole file; kNotFound; kFailed when the
  /// file could not be opened or read to its end.
  const platform::Result& GetLoad() const { return load_; }
  /// A UTF-16 file: loaded as bytes, never written back.
  bool IsUtf16() const { return utf16Bom_; }

  /// What the last Save did: kNothing when it had nothing to write (not loaded
  /// whole, read-only store, unchanged, UTF-16); otherwise whether the file was
  /// replaced, and if not, why (GetSaveFailure).
  enum class Saved { kNothing, kWritten, kReadOnly, kFailed };
  Saved GetSaved() const { return saved_; }
  const platform::Result& GetSaveFailure() const { return saveFailure_; }
  bool IsWritable() const { return writable_; }
  bool IsModified() const { return modified_; }
  const std::string& GetPath() const { return path_; }
  /// A copy of the document as sections of keys, in order.
  Document GetDocument() const;

 private:
  // A section as first named, and a key line. Names and values are views into
  // text_: the lines of the file where they were read, and what was set after.
  // The first eight upper-cased bytes of a name, as one number, settle most
  // comparisons.
  struct Section {
    size_t offset, size;
    uint64_t prefix;
  };
  struct Entry {
    Entry() {}  // made in place, never cleared first
    Entry(uint64_t prefix, size_t keyOffset, size_t keySize, size_t valueOffset, size_t valueSize,
          uint32_t section)
        : prefix(prefix),
          keyOffset(keyOffset),
          keySize(keySize),
          valueOffset(valueOffset),
          valueSize(valueSize),
          section(section) {}
    uint64_t prefix;
    size_t keyOffset, keySize, valueOffset, valueSize;
    uint32_t section;  // index into the sections
  };
  // An entry or a section to sort: the prefix of its name, and where it is.
  struct SortKey {
    uint64_t prefix;
    size_t index;
  };
  // Runs of keys up to this many are sorted by insertion.
  static constexpr ptrdiff_t kInsertionMost = 64;
  // What a store holds, kept from one store to the next (see the destructor).
  struct Storage {
    std::unique_ptr<char[]> text;  // not a string: growing one would clear it
    size_t size = 0, capacity = 0;
    std::vector<Section> sections;
    std::vector<Entry> entries;
    // For sorting: `sorting` keys; where each section's entries begin; and the
    // entries and sections as they come out.
    std::unique_ptr<SortKey[]> keys;
    size_t sorting = 0;
    std::vector<size_t> starts;
    std::vector<Entry> merged;
    std::vector<Section> ranked;
    size_t Footprint() const;
  };
  static constexpr uint32_t kNoSection = UINT32_MAX;

  void Load();
  /// Cleanup without the lock.
  void Clear();
  void BeginParse();
  void EndParse(const platform::Result& read);
  /// Parses `bytes`, a whole file, appended to the text; `seen` as for OpenCopy.
  void ParseBytes(std::string_view bytes, const LineSeen* seen);
  /// Reads `path`, or takes `readAhead` for its bytes when given.
  platform::Result ParseFile(const std::string& path, const LineSeen* seen, bool* opened,
                             const std::string* readAhead = nullptr);
  /// Parses the lines of text_ from `from` on: those that end, and at the end of
  /// the file the last one too. Where the next line begins.
  size_t ParseLines(size_t from, bool atEnd);
  void ParseLine(const char* line, const char* lineEnd);
  /// OpenFor's part of a line: entries[i] holds the last value of keys[i] found.
  void TakeWanted(const IniLine& read);
  /// `inText`: the name lies in text_, where the line was read.
  uint32_t SectionNamed(std::string_view name, bool inText);
  void Store(uint32_t section, size_t keyOffset, size_t keySize, size_t valueOffset,
             size_t valueSize);
  char* Reserve(size_t more) const;
  /// The stored value, or null when the section or the key is missing.
  const Entry* Find(std::string_view section, std::string_view key) const;
  std::string_view Text(size_t offset, size_t size) const {
    return {data_.text.get() + offset, size};
  }
  std::string_view KeyOf(const Entry& entry) const { return Text(entry.keyOffset, entry.keySize); }
  std::string_view ValueOf(const Entry& entry) const {
    return Text(entry.valueOffset, entry.valueSize);
  }
  std::string_view NameOf(const Section& section) const {
    return Text(section.offset, section.size);
  }
  /// Sections sorted, one per name; keys sorted within them, one per name with the
  /// last value given. Lookups and Render see the store so; reading and setting
  /// only append, and come here now and then to bound the memory of repeated keys.
  void Normalize() const;
  /// Sets when Store normalizes again.
  void Sorted() const;
  void RankSections() const;
  /// Frees the buffers of sorting that a large store made.
  void ReleaseLarge() const;
  SortKey* SortKeys(size_t count) const;
  /// Sorts keys given in the order of their places by name, as `compare` orders
  /// them (<0, 0, >0), equal names by place.
  template <typename Compare>
  static void SortKeysOf(SortKey* first, SortKey* last, const Compare& compare);
  /// Ranks the sections and fills the keys with the entries in order: by section
  /// rank, then name, then place; starts[rank] ends that section's keys.
  void Order() const;
  /// Calls each(first, last) for every run of keys [begin, end) of one name, with
  /// the places of its first entry and of its last.
  template <typename Each>
  void EachKey(size_t begin, size_t end, const Each& each) const;
  /// Drops the text that no name or value uses any more; the text from `keep` on
  /// stays too, and its new offset is returned.
  size_t CompactText(size_t keep) const;

  // Sorted up to sortedSections_ and sortedEntries_; what follows is appended in
  // the order of reading. Lookups from const members sort the rest first, or
  // look through it while it is short.
  std::unique_ptr<Storage> own_;
  Storage& data_;
  mutable size_t sortedSections_ = 0;
  mutable size_t sortedEntries_ = 0;
  mutable uint32_t lastSection_ = kNoSection;  // the section SectionNamed gave last
  mutable unsigned scans_ = 0;                 // lookups through the appended entries
  mutable size_t appended_ = 0;                // entries and sections since the last sort
  mutable size_t appendLimit_ = 0;             // that ask for the next
  size_t compactAt_ = 0;                       // text size that asks for compaction
  // What OpenFor looks for while it reads; null otherwise.
  struct Wanted {
    std::string_view section;
    uint64_t sectionPrefix;
    const std::string_view* keys;
    size_t count;
    uint64_t prefixes[kMostWanted];
    bool inSection;  // the lines read are in the section
    uint32_t found;  // a bit for each key found
  };
  Wanted* wanted_ = nullptr;
  // Storages that ended stores left, for the next: every livery opens two small
  // files and every package one large one.
  static thread_local std::unique_ptr<Storage> spare_[2];
  bool firstLine_ = true;
  bool loaded_ = false;
  bool writable_ = false;
  bool modified_ = false;
  std::string path_;
  CCriticalSection section_;
  bool durable_ = false;
  bool utf8Bom_ = false;   // written again on save
  bool utf16Bom_ = false;  // such a file is never written back
  // Only kOk means the document holds the whole file at path_, so Save never puts
  // a partial document in its place.
  platform::Result load_{platform::Status::kNotFound};
  Saved saved_ = Saved::kNothing;
  platform::Result saveFailure_;
};
