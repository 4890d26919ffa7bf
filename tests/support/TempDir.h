// Scoped helpers for tests: a fresh, uniquely named folder in the system's
// temporary folder, removed with all it holds (links removed, never followed),
// an environment variable set for a scope (empty counts as unset), and the case
// tables under tests/data. Brings what every test needs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

/// The bytes of the file at `path`; "" when it cannot be read.
std::string ReadBytes(const std::string& path);
/// Writes `bytes` to `path`, making the folders on the way; false on failure.
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
/// Removes the file or folder at `path` with all it holds, read-only files too.
void RemoveAll(const std::string& path);
/// `text` with "%XX" (two hexadecimal digits) replaced by that byte.
std::string Unescape(const std::string& text);
/// The rows of tests/data/`name`: fields split at '|', "%XX" for any byte;
/// blank lines and lines starting with '#' are left out.
std::vector<std::vector<std::string>> ReadTable(const std::string& name);

class TempDir {
 public:
  TempDir() = default;
  ~TempDir() { Remove(); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Create();  // false when no unique folder could be made
  void Remove();  // read-only files included
  const std::string& Path() const { return path_; }
  /// `name` (with '/' or the system's separator) inside the folder.
  std::string Join(const std::string& name) const;
  bool WriteFile(const std::string& name, const std::string& bytes) const {
    return WriteBytes(Join(name), bytes);
  }
  std::string ReadFile(const std::string& name) const { return ReadBytes(Join(name)); }
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

/// A test with a fresh folder of its own; an injected write fault ends with it.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Create()); }
  void TearDown() override;
  std::string Path(const std::string& relative) const { return temp_.Join(relative); }

  TempDir temp_;
};

class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::string& value);
  ~ScopedEnvironment() { Set(name_, previous_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  static void Set(const std::string& name, const std::string& value);

 private:
  std::string name_, previous_;
};
