// Where a Windows-style path lies on Linux, by text alone: a drive letter becomes
// Wine's drive folder, backslashes become slashes, and "." and ".." are resolved
// as Windows resolves them. Letter case is the platform layer's business, as it
// needs the disk. Pure text, so it builds and is tested on every target.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// A path mapped as written: the drive folder, then the rest.
struct WinePath {
  std::string written;
  size_t baseSize = 0;  // of the drive folder; 0 without a drive

  /// `path` under the Wine prefix `winePrefix` ("$WINEPREFIX", no trailing slash).
  static WinePath Map(const std::string& path, std::string_view winePrefix);
  /// The same into `mapped`, whose room is used again.
  static void Map(const std::string& path, std::string_view winePrefix, WinePath* mapped);

  std::string Base() const { return written.substr(0, baseSize); }
  std::string Rest() const { return written.substr(baseSize); }
  bool HasRest() const { return written.size() > baseSize; }
};

}  // namespace platform
