// Where the fuzz targets put their files: the folder that scripts/fuzz.sh makes
// for the run and removes after it (libFuzzer may end a run without the exit
// handlers), else a memory file system, since every input writes files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string MakeFuzzScratch(const char* name) {
  namespace fs = std::filesystem;
  fs::path parent = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  if (const char* chosen = std::getenv("KVB_FUZZ_SCRATCH")) parent = chosen;
  std::string pattern = (parent / (std::string(name) + "-XXXXXX")).string();
  if (!mkdtemp(&pattern[0])) std::abort();
  return pattern;
}
