// The INI store: one INI-style file held in memory as sections of keys with text
// values, both ordered and matched without regard to letter case. Read with
// typed getters and defaults; written back whole (sorted, without comments) only
// when it was opened writable on a file that loaded, and was changed. Each user
// keeps one store per file and lets the destructor write it back.
#pragma once

#include <functional>
#include <map>
#include <memory_resource>
#include <string>
#include <string_view>

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

/// The keys and values of one section. Names and values live in their store's
/// arena, which goes at once when the document does.
using ConfigSection = std::pmr::map<std::pmr::string, std::pmr::string, NoCaseLess>;

class LineReader;

class ConfigReader {
 public:
  using Document = std::pmr::map<std::pmr::string, ConfigSection, NoCaseLess>;

  ConfigReader();
  virtual ~ConfigReader();  // Save, then Cleanup
  ConfigReader(const ConfigReader&) = delete;
  ConfigReader& operator=(const ConfigReader&) = delete;

  /// Saves the previous document if allowed, then loads `path`.
  void Open(const std::string& path, bool writable);
  /// Saves the previous document if allowed, then takes `path` with the document
  /// that the lines of `source` give, as if the file held them; `seen` sees each
  /// line first. A source that is not open gives an empty document, as an empty
  /// file would, and one that fails part-way the lines read until then: the
  /// document is whole either way. Such a store is never written back: Render
  /// gives its bytes.
  using LineSeen = std::function<void(std::string_view line)>;
  void OpenFrom(const std::string& path, LineReader& source, const LineSeen& seen);

  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultValue) const;
  int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
  double GetDouble(const std::string& section, const std::string& key, double defaultValue) const;
  bool GetBool(const std::string& section, const std::string& key, bool defaultValue) const;

  void SetString(const std::string& section, const std::string& key, const std::string& value);

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
  const Document& GetDocument() const { return *document_; }

 private:
  void Load();
  void Parse(LineReader& reader, const LineSeen* seen);
  ConfigSection& SectionNamed(std::string_view name);
  static void Store(ConfigSection* keys, std::string_view key, std::string_view value);
  /// The stored value, or null when the section or the key is missing.
  const std::pmr::string* Find(const std::string& section, const std::string& key) const;

  Document* NewDocument();

  // The document and all it holds live in this arena. A small store needs no
  // allocation at all: the arena's first block is part of the store.
  alignas(std::max_align_t) char firstBlock_[1024];
  std::pmr::monotonic_buffer_resource arena_{firstBlock_, sizeof firstBlock_};
  Document* document_;
  ConfigSection* lastSection_ = nullptr;  // the section SectionNamed found last
  std::string lastSectionName_;
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
