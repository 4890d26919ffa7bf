// What the fuzz targets share: a property check that keeps the input that broke it,
// whole-file reads and writes, and a scratch folder for the files every input makes:
// inside the one scripts/fuzz.sh makes and removes (libFuzzer may end a run without
// the exit handlers), else on a memory file system.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#define Check(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// A new folder for this target, removed at exit.
inline std::string MakeFuzzScratch(const char* name) {
  namespace fs = std::filesystem;
  static std::string folder;
  fs::path parent = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  if (const char* chosen = std::getenv("KVB_FUZZ_SCRATCH")) parent = chosen;
  folder = (parent / (std::string(name) + "-XXXXXX")).string();
  if (!mkdtemp(&folder[0])) std::abort();
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  });
  return folder;
}
