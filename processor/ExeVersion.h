// Reads which version a simulator is from its executable: the file version in the
// version resource of a Windows program (a PE image, 32-bit or 64-bit), read from its
// bytes by the same code on every system. Only the headers on the way are read, each
// with a small read; the file is never loaded whole. Anything short of a well-formed
// version resource leaves the version unknown, with a short reason for the report.
#pragma once

#include <cstddef>
#include <string>

class ExeVersion {
 public:
  /// The four words of the file version (VS_FIXEDFILEINFO).
  struct Version {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
    /// "major.minor.build", as the report names a version.
    std::string Text() const;
  };

  /// The bytes of an image, read by position.
  class Source {
   public:
    virtual ~Source() = default;
    /// Reads from `offset` until `size` bytes are in or the bytes end; bytes read, -1
    /// on a failure.
    virtual long long ReadAt(long long offset, char* buffer, size_t size) = 0;
    /// Why the ReadAt that just failed did, as the report says it.
    virtual std::string Failure() const = 0;
  };

  /// The version of the program at `path`, formed as the tool forms paths. False when
  /// it is unknown, with the reason in `whyUnknown`: "not found", "not a file", the
  /// system's reason why it cannot be read, "not a Windows program", "no version
  /// resource" or "damaged: <what>".
  static bool Read(const std::string& path, Version* version, std::string* whyUnknown);
  static bool Read(Source& image, Version* version, std::string* whyUnknown);
  /// The same for an image held in memory.
  static bool ReadBytes(const std::string& image, Version* version, std::string* whyUnknown);
};
