// Runs the built kvbconfig on a real folder tree in a scratch folder, the way a
// user runs it: its own environment, no standard input, output captured. Also
// takes snapshots of a tree so that a test can see every file a run wrote.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kvbtest {

/// A fresh folder under the system's temporary folder, removed with everything
/// in it at the end (links are removed, never followed).
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

/// Environment of a run: name to value. A name mapped to kUnset is left out.
using Environment = std::map<std::string, std::string>;
extern const char* const kUnset;

/// False for the Windows build, which cannot run the scenarios that need links,
/// Wine's drive folders or the environment's APPDATA.
extern const bool kRunsLinuxOnlyScenarios;

struct RunResult {
  int status = -1;      // as std::system reports it; 0 for a clean exit 0
  std::string console;  // standard output
  std::string errors;   // standard error
};

/// Runs the tool in `workFolder` with nothing but `environment`, standard input
/// from /dev/null and a generous time limit against a hang. The Windows build
/// finds the application-data folder through the shell: the APPDATA folder is
/// copied into the real one for the run and back after it, and the console's
/// CR LF and pause prompt are given as the Linux build writes them.
RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const Environment& environment);

// Paths as std::filesystem::path: on Windows a narrow text would go through two
// different code pages on its way to the file system and back.
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& content);
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

/// One entry of a tree, never following links.
struct TreeEntry {
  char type = 'f';  // 'd' folder, 'f' file, 'l' link
  std::string content;
  std::string linkTarget;
  bool readOnly = false;
};
/// Relative paths with '/' (raw bytes) to entries, in byte order.
using Tree = std::map<std::string, TreeEntry>;

Tree Snapshot(const std::string& root);

/// A relative path with every byte outside printable ASCII, '%' and ' ' as %XX,
/// so listings and file names of expectations stay plain ASCII.
std::string EscapePath(const std::string& path);
/// The reverse of EscapePath.
std::string UnescapePath(const std::string& path);

/// One line per entry: "d path", "f path", "f path (read-only)", "l path -> target";
/// `root` inside link targets becomes @ROOT@.
std::string Listing(const Tree& tree, const std::string& root);

}  // namespace kvbtest
