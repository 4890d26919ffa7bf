// A scoped folder for tests that touch the disk: a fresh, uniquely named folder in
// the system's temporary folder ($TMPDIR or /tmp), removed with all it holds.
#pragma once

#include <string>

class TempDir {
 public:
  TempDir() = default;
  ~TempDir() { Remove(); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// Creates the folder; false when no unique folder could be made.
  bool Create();
  /// Removes the folder and everything in it, read-only files included.
  void Remove();

  const std::string& Path() const { return path_; }
  /// The path of `name` inside the folder, with the system's separator.
  std::string Join(const std::string& name) const;

  /// Writes `bytes` to `name` in the folder, replacing it; false on failure.
  bool WriteFile(const std::string& name, const std::string& bytes) const;
  /// The bytes of `name` in the folder; "" when it cannot be read.
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};
