// kvbconfig for the fault tests only: the shipped tool with the platform's test
// seams driven by environment variables. Never installed.
//   KVB_FAULT_WRITE=n        the n-th write fails as on a full disk
//   KVB_KILL_WRITE=n         the process is killed just before the n-th write
//   KVB_REMOVE_AT_WRITE=n:f  the folder f (native path) is deleted before write n
//   KVB_COUNT_WRITES=1       the number of writes goes to standard error at the end
//   KVB_REPORT_PEAK=1        the peak resident memory (kB) goes to standard error
//   KVB_WATCH=f1|f2|...      "n f" goes to standard error for each write n made
//                            while f's temporary file exists (native paths)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "platform/Platform.h"

namespace {

long long killAt = 0;
long long removeAt = 0;
std::string removeFolder;
long long writes = 0;
std::vector<std::string> watched;

long long EnvironmentNumber(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atoll(value) : 0;
}

void OnWrite(long long number) {
  writes = number;
  for (const std::string& file : watched) {
    std::error_code ignored;
    if (std::filesystem::exists(file + ".kvbtmp", ignored)) {
      std::fprintf(stderr, "%lld %s\n", number, file.c_str());
    }
  }
  if (number == killAt) std::raise(SIGKILL);
  if (number == removeAt) {
    std::error_code ignored;
    std::filesystem::remove_all(removeFolder, ignored);
  }
}

// The high-water mark of this program's own memory. The parent's rusage would
// also count the test process that forked it, until the exec.
long long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == "VmHWM:") {
      long long kb = 0;
      status >> kb;
      return kb;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  platform::InjectWriteFault(static_cast<int>(EnvironmentNumber("KVB_FAULT_WRITE")));
  killAt = EnvironmentNumber("KVB_KILL_WRITE");
  if (const char* remove = std::getenv("KVB_REMOVE_AT_WRITE")) {
    const std::string value = remove;
    const size_t colon = value.find(':');
    removeAt = std::atoll(value.substr(0, colon).c_str());
    if (colon != std::string::npos) removeFolder = value.substr(colon + 1);
  }
  if (const char* watch = std::getenv("KVB_WATCH")) {
    std::string list = watch;
    for (size_t start = 0; start <= list.size();) {
      size_t end = list.find('|', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) watched.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  platform::SetWriteObserver(OnWrite);
  const int status = RunKvbConfig(argc, argv);
  if (std::getenv("KVB_COUNT_WRITES")) std::fprintf(stderr, "writes: %lld\n", writes);
  if (std::getenv("KVB_REPORT_PEAK")) std::fprintf(stderr, "peak: %lld\n", PeakResidentKb());
  return status;
}
