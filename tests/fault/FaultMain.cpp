// kvbconfig for the fault tests only; without these variables it is the shipped tool.
// Its calls for files are wrapped (see tests/CMakeLists.txt); each write, and each
// replacement's close and rename, is a numbered write, from 1. KVB_FAULT_WRITE=n:
// write n fails as on a full disk (a close with EIO). KVB_KILL_WRITE=n: killed before
// write n, or just after it if it is a rename. KVB_REMOVE_AT_WRITE=n:f: folder f
// deleted before write n. KVB_SHORT_IO=1, KVB_FAIL_LIST=NAME: see their wrappers.
// KVB_REPORT_PEAK=1: "peak: kB", the process's own high-water mark (a parent's would
// count the forked test process too). The hooks write "writes: n" and the peak to KVB_HOOKS.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Application.h"

namespace fs = std::filesystem;

namespace {
const char* Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
long long writes = 0, listed = 0;
// Counts a write; true when it is to fail.
bool Fails(bool killedAfter = false) {
  if (++writes == std::atoll(Env("KVB_KILL_WRITE")) && !killedAfter) std::raise(SIGKILL);
  const std::string remove = Env("KVB_REMOVE_AT_WRITE");
  if (writes == std::atoll(remove.c_str())) fs::remove_all(remove.substr(remove.find(':') + 1));
  return writes == std::atoll(Env("KVB_FAULT_WRITE"));
}
std::error_code ignored;
fs::path PathOf(int fd) { return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ignored); }
}  // namespace

extern "C" {
ssize_t __real_read(int, void*, size_t), __real_write(int, const void*, size_t);
int __real_rename(const char*, const char*), __real_close(int);
struct dirent* __real_readdir(DIR* dir);

ssize_t __wrap_read(int fd, void* data, size_t size) {  // KVB_SHORT_IO: half of what is left
  struct stat info;
  if (*Env("KVB_SHORT_IO") && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    size = std::min<size_t>(size, std::max<off_t>(1, (info.st_size - lseek(fd, 0, SEEK_CUR)) / 2));
  return __real_read(fd, data, size);
}
ssize_t __wrap_write(int fd, const void* data, size_t size) {  // KVB_SHORT_IO: half the bytes
  if (!Fails()) return __real_write(fd, data, *Env("KVB_SHORT_IO") ? (size + 1) / 2 : size);
  if (size > 1) (void)!__real_write(fd, data, size / 2);  // a full disk takes a part first
  return errno = ENOSPC, -1;
}
int __wrap_rename(const char* from, const char* to) {  // before it, all is as before the close
  const int renamed = Fails(true) ? (errno = ENOSPC, -1) : __real_rename(from, to);
  if (writes == std::atoll(Env("KVB_KILL_WRITE"))) std::raise(SIGKILL);
  return renamed;
}
int __wrap_close(int fd) {
  const bool fails = PathOf(fd).extension() == ".kvbtmp" && Fails();
  const int closed = __real_close(fd);
  return fails ? (errno = EIO, -1) : closed;
}
struct dirent* __wrap_readdir(DIR* dir) {  // KVB_FAIL_LIST: fails after three entries in all
  const bool fails = PathOf(dirfd(dir)).filename() == Env("KVB_FAIL_LIST") && ++listed > 3;
  return fails ? (errno = EIO, nullptr) : __real_readdir(dir);
}
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
