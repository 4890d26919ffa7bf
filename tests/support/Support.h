// What the tests share: a scratch folder, whole-file reads and writes, an environment
// variable, a snapshot of a folder tree, and whole runs of the built tool.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path);                      // "" when it cannot be read
void WriteBytes(const std::string& path, const std::string& bytes);  // makes the folders
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
/// "%XX" (two hexadecimal digits) as that byte.
std::string Unescape(const std::string& text);
/// Removes `path` with all it holds, read-only files too; links are not followed.
void RemoveAll(const std::string& path);

/// A fresh folder in the system's temporary folder, removed with all it holds,
/// read-only files too; links are removed, never followed. Never copied.
struct TempDir {
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string Join(const std::string& name) const;
  std::string path_;
};

/// Sets an environment variable for the rest of the process.
void SetEnvironment(const std::string& name, const std::string& value);

/// Every entry below `root` by relative '/' path: its line ("d P", "f P", "f P (read-only)",
/// "l P -> TARGET", "s P" for a FIFO or a device; P with %XX for any byte outside
/// printable ASCII) and, for a file, its bytes. Links are never followed.
using Tree = std::map<std::string, std::pair<std::string, std::string>>;
Tree Snapshot(const std::string& root);

struct RunResult {
  int status = -1;  // as std::system reports it; 0 for a clean exit 0
  std::string console, errors;
};
/// Runs the built kvbconfig in `workFolder` with only `environment`, no input, output
/// captured (the Windows build's line ends as on Linux, its roaming folder as APPDATA). On
/// Linux, KVB_AS_USER=n runs it as the user n, and KVB_FILE_SIZE=n lets no file grow past n
/// bytes, like a full disk.
RunResult RunTool(const std::string& workFolder, const std::vector<std::string>& arguments,
                  std::map<std::string, std::string> environment);
/// Makes what a setup line `words` asks for at `path`, as only the Linux build's tests
/// can: "fifo P", "device P [zero]" (a device that reads as empty, or endless), "nobody" (the
/// user nobody owns the whole tree below `path`). False for anything else.
bool MakeSpecial(const std::vector<std::string>& words, const fs::path& path);
/// False for the Windows build, which cannot run the scenarios that need links,
/// Wine's drive folders or APPDATA itself (those with a file `linux_only`).
extern const bool kRunsLinuxOnlyScenarios;
