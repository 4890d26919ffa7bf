// A TempDir that is created at once, for tests that lay out a tree of folders:
// writes make the folders on the way.
#pragma once

#include <string>

#include "support/TempDir.h"

class ScratchFolder : public TempDir {
 public:
  ScratchFolder();

  /// Writes `content` byte for byte to `relative` (with '/' separators),
  /// creating the folders on the way; returns the native path.
  std::string WriteFile(const std::string& relative, const std::string& content) const;
  /// Creates `relative` and the folders on the way; returns the native path.
  std::string MakeFolder(const std::string& relative) const;

  /// The bytes of a file named by its native path, or "" when it cannot be read.
  static std::string ReadBytes(const std::string& nativePath);
  static bool ExistsAt(const std::string& nativePath);
};
