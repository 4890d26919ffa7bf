// kvbconfig for the fault tests only; without these variables it is the shipped tool.
// It is linked with system calls wrapped (see tests/CMakeLists.txt): each write, and
// each replacement's close and final rename, is a numbered write, from 1.
// KVB_FAULT_WRITE=n: write n fails as on a full disk (a close, as on a file system
// that reports the error only then). KVB_KILL_WRITE=n: killed before write n.
// KVB_REMOVE_AT_WRITE=n:f: folder f deleted before write n. KVB_SHORT_READ=1: each
// read of a regular file takes at most half of what is left of it; KVB_SHORT_WRITE=1:
// each write takes half its bytes.
// KVB_FAIL_LIST=NAME: listing folders of that name fails once they gave three entries
// in all. KVB_KILL_UNLINK=NAME: killed before a file of that name is deleted.
// KVB_REPORT_PEAK=1: "peak: kB", the process's own high-water mark (a parent's would
// count the forked test process too). The hooks write "writes: n" at the end, and the
// peak, to the file KVB_HOOKS, never to the tool's own standard error.
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

namespace {
const char* Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
long long writes = 0, listed = 0;
// Counts a write; true when it is to fail.
bool Fails() {
  if (++writes == std::atoll(Env("KVB_KILL_WRITE"))) std::raise(SIGKILL);
  const std::string remove = Env("KVB_REMOVE_AT_WRITE");
  if (writes == std::atoll(remove.c_str()))
    std::filesystem::remove_all(remove.substr(remove.find(':') + 1));
  return writes == std::atoll(Env("KVB_FAULT_WRITE"));
}
bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
// Whether `path` ends in "/NAME", NAME the value of `variable`, which is set.
bool Names(const std::string& path, const char* variable) {
  return *Env(variable) && EndsWith(path, std::string("/") + Env(variable));
}
std::string PathOf(int fd) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}
}  // namespace

extern "C" {
ssize_t __real_read(int fd, void* data, size_t size);
ssize_t __real_write(int fd, const void* data, size_t size);
int __real_rename(const char* from, const char* to);
int __real_close(int fd);
int __real_unlink(const char* path);
struct dirent* __real_readdir(DIR* dir);

ssize_t __wrap_read(int fd, void* data, size_t size) {
  struct stat info;
  if (*Env("KVB_SHORT_READ") && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    size = std::min<size_t>(size, std::max<off_t>(1, (info.st_size - lseek(fd, 0, SEEK_CUR)) / 2));
  return __real_read(fd, data, size);
}
ssize_t __wrap_write(int fd, const void* data, size_t size) {
  if (!Fails()) return __real_write(fd, data, *Env("KVB_SHORT_WRITE") ? (size + 1) / 2 : size);
  if (size > 1) (void)!__real_write(fd, data, size / 2);  // a full disk takes a part first
  return errno = ENOSPC, -1;
}
int __wrap_rename(const char* from, const char* to) {
  return Fails() ? (errno = ENOSPC, -1) : __real_rename(from, to);
}
int __wrap_close(int fd) {
  if (!EndsWith(PathOf(fd), ".kvbtmp")) return __real_close(fd);
  const bool fails = Fails();
  const int closed = __real_close(fd);
  return fails ? (errno = EIO, -1) : closed;
}
int __wrap_unlink(const char* path) {
  if (Names(path, "KVB_KILL_UNLINK")) std::raise(SIGKILL);
  return __real_unlink(path);
}
struct dirent* __wrap_readdir(DIR* dir) {
  if (*Env("KVB_FAIL_LIST") && Names(PathOf(dirfd(dir)), "KVB_FAIL_LIST") && ++listed > 3)
    return errno = EIO, nullptr;
  return __real_readdir(dir);
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
