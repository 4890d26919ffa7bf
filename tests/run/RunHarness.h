// Runs the built kvbconfig the way a user does: in a folder of its own, with
// nothing but the given environment, no standard input, output captured. Also
// takes snapshots of a tree so that a test can see every file a run wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kvbtest {

struct RunResult {
  int status = -1;  // as std::system reports it; 0 for a clean exit 0
  std::string console, errors;
};
RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  const std::map<std::string, std::string>& environment);

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

struct TreeEntry {
  char type = 'f';  // 'd' folder, 'f' file, 'l' link (never followed)
  std::string content, linkTarget;
  bool readOnly = false;
};
/// Relative paths with '/' (raw bytes) to entries, in byte order.
using Tree = std::map<std::string, TreeEntry>;
Tree Snapshot(const std::string& root);

}  // namespace kvbtest
