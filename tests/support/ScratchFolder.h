// A fresh, uniquely named folder under the system's temporary folder for one
// test, removed with everything in it when the test ends, also on failure.
#pragma once

#include <string>

class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  /// The folder as a native path, without a trailing separator.
  const std::string& Path() const { return path_; }

  /// Writes `content` byte for byte to `relative` (with '/' separators),
  /// creating the folders on the way; returns the native path.
  std::string WriteFile(const std::string& relative, const std::string& content) const;
  /// Creates `relative` and the folders on the way; returns the native path.
  std::string MakeFolder(const std::string& relative) const;
  /// The bytes of a file, or "" when it cannot be read.
  static std::string ReadFile(const std::string& nativePath);
  static bool Exists(const std::string& nativePath);

 private:
  std::string path_;
};
