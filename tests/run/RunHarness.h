// Runs the built kvbconfig on a real folder tree in a scratch folder, the way a
// user runs it: its own environment, no standard input, output captured. Also
// takes snapshots of a tree so that a test can see every file a run wrote.
#pragma once

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

struct RunResult {
  int status = -1;      // as std::system reports it; 0 for a clean exit 0
  std::string console;  // standard output
  std::string errors;   // standard error
};

/// Runs the tool in `workFolder` with nothing but `environment`, standard input
/// from /dev/null and a generous time limit against a hang.
RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const Environment& environment);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& content);
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
