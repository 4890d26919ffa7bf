// kvbconfig for the fault tests only; without these variables it is the shipped tool.
// It is linked with write and rename wrapped (see tests/CMakeLists.txt): each write,
// and each replacement's final rename, is a numbered write, from 1.
// KVB_FAULT_WRITE=n: write n fails as on a full disk. KVB_KILL_WRITE=n: killed before
// write n. KVB_REMOVE_AT_WRITE=n:f: folder f deleted before write n.
// KVB_REPORT_PEAK=1: "peak: kB", the process's own high-water mark (a parent's would
// count the forked test process too). The hooks write "writes: n" at the end, and the
// peak, to the file KVB_HOOKS, never to the tool's own standard error.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"

namespace {
const char* Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
long long writes = 0;
// Counts a write; true when it is to fail.
bool Fails() {
  if (++writes == std::atoll(Env("KVB_KILL_WRITE"))) std::raise(SIGKILL);
  const std::string remove = Env("KVB_REMOVE_AT_WRITE");
  if (writes == std::atoll(remove.c_str()))
    std::filesystem::remove_all(remove.substr(remove.find(':') + 1));
  return writes == std::atoll(Env("KVB_FAULT_WRITE"));
}
}  // namespace

extern "C" ssize_t __real_write(int fd, const void* data, size_t size);
extern "C" int __real_rename(const char* from, const char* to);
extern "C" ssize_t __wrap_write(int fd, const void* data, size_t size) {
  if (!Fails()) return __real_write(fd, data, size);
  if (size > 1) (void)!__real_write(fd, data, size / 2);  // a full disk takes a part first
  return errno = ENOSPC, -1;
}
extern "C" int __wrap_rename(const char* from, const char* to) {
  return Fails() ? (errno = ENOSPC, -1) : __real_rename(from, to);
}

int main(int argc, char* argv[]) {
  const int status = RunKvbConfig(argc, argv);
  std::ofstream hooks(Env("KVB_HOOKS"));
  hooks << "writes: " << writes << std::endl;
  std::ifstream memory("/proc/self/status");
  for (std::string word; *Env("KVB_REPORT_PEAK") && memory >> word;)
    if (word == "VmHWM:" && memory >> word) hooks << "peak: " << word << std::endl;
  return status;
}
