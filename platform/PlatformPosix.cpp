// Linux implementation of the platform layer: Windows-style paths mapped onto the
// native file system (drive letters through Wine's drive folders, letter case
// ignored as Windows ignores it), and the Windows rules that Linux lacks
// (read-only files even for root, folders never opened as files).
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/Platform.h"
#include "platform/PlatformInternal.h"
#include "platform/WinePath.h"
#include "text/Text.h"
#include "text/Utf8.h"

namespace platform {

namespace {

constexpr const char* kTemporarySuffix = ".kvbtmp";

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

const struct passwd* PasswordEntry() { return getpwuid(getuid()); }

std::string HomeFolder() {
  std::string home = EnvironmentValue("HOME");
  if (home.empty()) {
    const struct passwd* entry = PasswordEntry();
    if (entry && entry->pw_dir) home = entry->pw_dir;
  }
  return home;
}

std::string UserName() {
  std::string user = EnvironmentValue("USER");
  if (user.empty()) {
    const struct passwd* entry = PasswordEntry();
    if (entry && entry->pw_name) user = entry->pw_name;
  }
  return user;
}

std::string WinePrefix() {
  std::string prefix = EnvironmentValue("WINEPREFIX");
  if (prefix.empty()) prefix = HomeFolder() + "/.wine";
  return prefix;
}

bool Exists(const std::string& native) {
  struct stat info;
  return lstat(native.c_str(), &info) == 0;
}

// The entry of `folder` whose name equals `name` without regard to ASCII letter
// case, the first in listing order; "" when there is none.
std::string FindNoCase(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::string();
  std::string best;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate.size() != name.size() || text::CompareNoCase(candidate, name) != 0) continue;
    if (best.empty() || ListingLess(candidate, best)) best = candidate;
  }
  closedir(dir);
  return best;
}

// Resolves letter case component by component, below `base` (already native).
std::string ResolveCase(const std::string& base, const std::string& rest) {
  std::string resolved = base;
  size_t start = 0;
  bool missing = false;
  while (start <= rest.size()) {
    size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    const std::string component = rest.substr(start, end - start);
    if (!resolved.empty() && resolved.back() != '/') resolved += '/';
    if (component.empty() || component == "." || component == "..") {
      resolved += component;
    } else if (missing) {
      resolved += component;
    } else if (Exists(resolved + component)) {
      resolved += component;
    } else {
      const std::string found = FindNoCase(resolved, component);
      if (found.empty()) {
        missing = true;  // nothing below can exist either
        resolved += component;
      } else {
        resolved += found;
      }
    }
    if (end == rest.size()) break;
    start = end + 1;
  }
  return resolved;
}

struct FileInfo {
  bool exists = false;
  bool isDirectory = false;
  bool isLink = false;
  bool readOnly = false;  // a file that grants write access to nobody
  struct stat status;
};

FileInfo Inspect(const std::string& native) {
  FileInfo info;
  struct stat linkStatus;
  if (lstat(native.c_str(), &linkStatus) != 0) return info;
  info.exists = true;
  info.isLink = S_ISLNK(linkStatus.st_mode);
  info.status = linkStatus;
  if (info.isLink) {
    struct stat target;
    if (stat(native.c_str(), &target) != 0) return info;  // dangling link
    info.status = target;
  }
  info.isDirectory = S_ISDIR(info.status.st_mode);
  info.readOnly = !info.isDirectory && (info.status.st_mode & 0222) == 0;
  return info;
}

// The failure that errno describes.
Result ErrnoFailure() {
  const int error = errno;
  return internal::Fail(error == ENOENT || error == ENOTDIR ? Status::kNotFound : Status::kFailed,
                        error);
}

// Something is there, but not the regular file that is wanted.
Result NotAFile() { return internal::Fail(Status::kFailed, internal::kNotAFile); }

// The file a link points to, so that a replacement keeps the link.
bool FollowLinks(const std::string& native, std::string* target) {
  struct stat info;
  if (lstat(native.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    *target = native;
    return true;
  }
  char* resolved = realpath(native.c_str(), nullptr);
  if (!resolved) return false;
  *target = resolved;
  std::free(resolved);
  return true;
}

void SyncFolderOf(const std::string& native) {
  const size_t slash = native.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    ::close(fd);
  }
}

}  // namespace

namespace {

// Wine's prefix is looked for only for a path that starts with a drive.
void MapPath(const std::string& path, WinePath* mapped) {
  if (path.size() < 2 || path[1] != ':') return WinePath::Map(path, std::string_view(), mapped);
  // Taken where it stands when it is set: every file opened comes here.
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix && *prefix) return WinePath::Map(path, prefix, mapped);
  WinePath::Map(path, WinePrefix(), mapped);
}

WinePath MapPath(const std::string& path) {
  WinePath mapped;
  MapPath(path, &mapped);
  return mapped;
}

// The letter case of a path that does not exist as written.
std::string Resolve(const WinePath& mapped) {
  const std::string& written = mapped.written;
  // Most such paths are a missing file in an existing folder: then every folder
  // above exists as written and only the last name needs a look. Paths with
  // doubled separators or a trailing one take the long way, which normalises them.
  const size_t slash = written.rfind('/');
  if (slash != std::string::npos && slash > 0 && written.find("//") == std::string::npos) {
    const std::string name = written.substr(slash + 1);
    const std::string parent = written.substr(0, slash);
    if (!name.empty() && name != "." && name != ".." && Exists(parent)) {
      const std::string found = FindNoCase(parent, name);
      return found.empty() ? written : parent + "/" + found;
    }
  }
  const std::string rest = mapped.Rest();
  if (rest[0] == '/') return ResolveCase(mapped.baseSize ? mapped.Base() : "/", rest.substr(1));
  return ResolveCase(mapped.Base(), rest);
}

// The native path and what is there, with a single lstat for a path that
// exists as written.
std::string Locate(const std::string& path, FileInfo* info) {
  const WinePath mapped = MapPath(path);
  *info = Inspect(mapped.written);
  if (info->exists || !mapped.HasRest()) return mapped.written;
  std::string native = Resolve(mapped);
  if (native != mapped.written) *info = Inspect(native);
  return native;
}

// Where a replacement must go: the file a link points to.
bool LocateTarget(const std::string& path, std::string* target, FileInfo* info) {
  const std::string native = Locate(path, info);
  if (!info->isLink) {
    *target = native;
    return true;
  }
  if (!FollowLinks(native, target)) return false;
  *info = Inspect(*target);
  return true;
}

}  // namespace

std::string NativePath(const std::string& path) {
  const WinePath mapped = MapPath(path);
  if (!mapped.HasRest() || Exists(mapped.written)) return mapped.written;
  return Resolve(mapped);
}

// ---------------------------------------------------------------------------
// File

namespace {

// The folder listed last stays open, as a package step reads the files of the
// folder it has just listed: they are opened from there, without the system
// walking the whole path again for each.
class ListedFolder {
 public:
  ~ListedFolder() { Keep(nullptr, std::string()); }
  void Keep(DIR* dir, const std::string& native) {
    if (dir_) closedir(dir_);
    dir_ = dir;
    prefix_ = native + "/";
  }
  bool Holds(const std::string& native) const {
    return dir_ && native.size() > prefix_.size() &&
           std::memcmp(native.data(), prefix_.data(), prefix_.size()) == 0;
  }
  // `native`, which the folder holds, opened from the folder.
  int Open(const std::string& native, int flags) const {
    return ::openat(dirfd(dir_), native.c_str() + prefix_.size(), flags);
  }

 private:
  DIR* dir_ = nullptr;
  std::string prefix_;
};

thread_local ListedFolder listedFolder;

}  // namespace

File::~File() { Close(); }

Result File::Open(const std::string& path, Mode mode) {
  Close();
  // A FIFO must not block the run, neither here nor when it is read; O_NONBLOCK
  // means nothing for a regular file, so it may stay set.
  int flags = O_CLOEXEC | O_NONBLOCK;
  if (mode == Mode::kRead) {
    // A file that is there as written opens at once; only a miss looks at letter case.
    flags |= O_RDONLY;
    // Kept from open to open: its room is made once.
    static thread_local WinePath mapped;
    MapPath(path, &mapped);
    const std::string& native = mapped.written;
    int fd = listedFolder.Holds(native) ? listedFolder.Open(native, flags)
                                        : ::open(native.c_str(), flags);
    if (fd < 0 && errno == ENOENT && mapped.HasRest()) {
      const std::string resolved = Resolve(mapped);
      errno = ENOENT;
      if (resolved != native) fd = ::open(resolved.c_str(), flags);
    }
    if (fd < 0) return ErrnoFailure();
    // What it is shows as it is read (see Read): a look now would cost every
    // file a call.
    handle_ = fd;
    return Status::kOk;
  }
  FileInfo info;
  const std::string native = Locate(path, &info);
  // A dangling link goes on to the open, which finds or creates what it names.
  if (info.exists && !S_ISREG(info.status.st_mode) && !S_ISLNK(info.status.st_mode))
    return NotAFile();
  if (info.readOnly) return internal::Fail(Status::kReadOnly, EACCES);
  flags |= O_WRONLY | O_CREAT | (mode == Mode::kWriteTruncate ? O_TRUNC : O_APPEND);
  const int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) return ErrnoFailure();
  handle_ = fd;
  struct stat opened;
  if (fstat(static_cast<int>(handle_), &opened) != 0) {
    const Result failure = ErrnoFailure();
    Close();
    return failure;
  }
  if (!S_ISREG(opened.st_mode)) {
    Close();
    return NotAFile();
  }
  regular_ = true;
  return Status::kOk;
}

Result File::LearnKind() {
  struct stat info;
  if (fstat(static_cast<int>(handle_), &info) != 0) return ErrnoFailure();
  if (!S_ISREG(info.st_mode)) return NotAFile();
  regular_ = true;
  return Status::kOk;
}

int UsableProcessors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

bool ReadRegularFile(const std::string& path, long long largest, std::string* bytes) {
  bytes->clear();
  static thread_local WinePath mapped;
  MapPath(path, &mapped);
  const std::string& native = mapped.written;
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
  const int fd =
      listedFolder.Holds(native) ? listedFolder.Open(native, flags) : ::open(native.c_str(), flags);
  if (fd < 0) return false;
  struct stat info;
  bool whole = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= largest;
  // Read to its end, which one more read than its size finds: a file that grew
  // meanwhile is not taken.
  size_t total = 0;
  if (whole) bytes->resize(static_cast<size_t>(info.st_size) + 1);
  while (whole) {
    const ssize_t n = ::read(fd, &(*bytes)[total], bytes->size() - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      whole = n == 0;
      break;
    }
    total += static_cast<size_t>(n);
    if (total == bytes->size()) whole = false;
  }
  ::close(fd);
  bytes->resize(whole ? total : 0);
  return whole;
}

Result File::Read(char* buffer, size_t size, size_t* count) {
  *count = 0;
  if (!IsOpen()) return internal::Fail(Status::kFailed, EBADF);
  const int fd = static_cast<int>(handle_);
  size_t total = 0;
  while (total < size) {
    const ssize_t n = ::read(fd, buffer + total, size - total);
    if (n > 0) {
      total += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    // A folder opens for reading on Linux, not on Windows.
    if (errno == EISDIR) return NotAFile();
    // Only a pipe or a device has nothing more for now (O_NONBLOCK): what it
    // gave is what it holds.
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && total > 0) break;
    return ErrnoFailure();
  }
  // Only a full buffer asks what was read: a device or a pipe may never end.
  if (total == size && size > 0 && !regular_) {
    const Result kind = LearnKind();
    if (!kind.Ok()) return kind;
  }
  *count = total;
  return Status::kOk;
}

Result File::ReadAt(long long offset, char* buffer, size_t size, size_t* count) {
  *count = 0;
  if (!IsOpen()) return internal::Fail(Status::kFailed, EBADF);
  // A device could read without end.
  if (!regular_) {
    const Result kind = LearnKind();
    if (!kind.Ok()) return kind;
  }
  const int fd = static_cast<int>(handle_);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buffer + done, size - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ErrnoFailure();
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  *count = done;
  return Status::kOk;
}

Result File::Write(const char* data, size_t size) {
  if (!IsOpen()) return internal::Fail(Status::kFailed, EBADF);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoFailure();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return Status::kOk;
}

Result File::Sync() {
  if (!IsOpen()) return internal::Fail(Status::kFailed, EBADF);
  return fsync(static_cast<int>(handle_)) == 0 ? Result() : ErrnoFailure();
}

Result File::Close() {
  if (!IsOpen()) return Status::kOk;
  const int closed = ::close(static_cast<int>(handle_));
  handle_ = kInvalid;
  regular_ = false;
  // EINTR leaves the descriptor closed on Linux: nothing is lost by it.
  return closed == 0 || errno == EINTR ? Result() : ErrnoFailure();
}

// ---------------------------------------------------------------------------
// AtomicFile

namespace {

mode_t CreationMask() {
  static const mode_t mask = [] {
    const mode_t current = umask(0);
    umask(current);
    return current;
  }();
  return mask;
}

// Creates the temporary file; one in the way (a killed run's, or anything else of
// that name) goes first, so that nothing is ever written through it.
int CreateTemporary(const std::string& native, mode_t mode) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  int fd = ::open(native.c_str(), flags, mode);
  if (fd < 0 && errno == EEXIST && ::unlink(native.c_str()) == 0)
    fd = ::open(native.c_str(), flags, mode);
  return fd;
}

}  // namespace

AtomicFile::~AtomicFile() { Abandon(); }

Result AtomicFile::Begin(const std::string& path, Placement placement) {
  Abandon();
  FileInfo info;
  if (placement == Placement::kThisName) {
    const size_t slash = path.find_last_of("\\/");
    targetNative_ = slash == std::string::npos
                        ? path
                        : NativePath(path.substr(0, slash)) + "/" + path.substr(slash + 1);
    info = Inspect(targetNative_);
  } else if (!LocateTarget(path, &targetNative_, &info)) {
    return ErrnoFailure();
  }
  // A link that is itself replaced may point anywhere, or nowhere.
  const bool replacesLink = placement == Placement::kThisName && info.isLink;
  // Never replace what is not a regular file: a link to /dev/null would make a
  // run as root put a file in its place.
  if (info.exists && !replacesLink && !S_ISREG(info.status.st_mode)) return NotAFile();
  if (info.readOnly) return internal::Fail(Status::kReadOnly, EACCES);
  tempNative_ = targetNative_ + kTemporarySuffix;
  // The replacement keeps the old file's permissions and owner; a new file gets
  // what an ordinary creation would give it.
  const bool keep = info.exists && !replacesLink;
  const mode_t mode = keep ? info.status.st_mode & 07777 : 0666;
  const int fd = CreateTemporary(tempNative_, mode & 0777);
  if (fd < 0) {
    const Result failure = ErrnoFailure();
    tempNative_.clear();
    return failure;
  }
  if (keep) {
    (void)!fchown(fd, info.status.st_uid, info.status.st_gid);
    if ((mode & ~CreationMask()) != mode) fchmod(fd, mode);
  }
  file_.handle_ = fd;
  failure_ = Result();
  return Status::kOk;
}

Result AtomicFile::Commit(bool durable) {
  if (tempNative_.empty()) return internal::Fail(Status::kFailed, EBADF);
  Result result = failure_;
  if (result.Ok() && durable) result = file_.Sync();
  const Result closed = file_.Close();
  if (result.Ok()) result = closed;
  if (result.Ok() && ::rename(tempNative_.c_str(), targetNative_.c_str()) != 0)
    result = ErrnoFailure();
  if (!result.Ok()) {
    ::unlink(tempNative_.c_str());
    tempNative_.clear();
    return internal::Fail(Status::kFailed, result.error);
  }
  if (durable) SyncFolderOf(targetNative_);
  tempNative_.clear();
  return result;
}

void AtomicFile::Abandon() {
  file_.Close();
  if (!tempNative_.empty()) ::unlink(tempNative_.c_str());
  tempNative_.clear();
  failure_ = Result();
}

namespace {
// Ours, whatever its permission bits say: the read-only rule is for the user's files.
void RemoveNative(const std::string& native) {
  const FileInfo info = Inspect(native);
  if (info.exists && !info.isDirectory && !info.isLink) ::unlink(native.c_str());
}
}  // namespace

void RemoveStaleTemporary(const std::string& path) {
  std::string target;
  FileInfo targetInfo;
  if (!LocateTarget(path, &target, &targetInfo)) return;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = target.substr(slash + 1) + kTemporarySuffix;
  // Any letter case: a leftover beside AIRCRAFT.CFG is AIRCRAFT.CFG.kvbtmp.
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate.size() == name.size() && text::CompareNoCase(candidate, name) == 0)
      RemoveNative(folder + candidate);
  }
  closedir(dir);
}

void RemoveTemporary(const std::string& temporaryPath) { RemoveNative(NativePath(temporaryPath)); }

void RemoveOtherSpellings(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder =
      slash == std::string::npos ? std::string(".") : NativePath(path.substr(0, slash));
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate == name || text::CompareNoCase(candidate, name) != 0) continue;
    const FileInfo info = Inspect(folder + "/" + candidate);
    if (info.isLink || (!info.isDirectory && !info.readOnly))
      ::unlink((folder + "/" + candidate).c_str());
  }
  closedir(dir);
}

// ---------------------------------------------------------------------------
// Folders

Result FindFiles(const std::string& pattern, std::vector<DirEntry>* entries) {
  entries->clear();
  const size_t separator = pattern.find_last_of("\\/");
  std::string folder;
  std::string wildcard = pattern;
  if (separator != std::string::npos) {
    folder = separator == 0 ? pattern.substr(0, 1) : pattern.substr(0, separator);
    wildcard = pattern.substr(separator + 1);
  }
  // A folder that opens as written needs no look at its letter case.
  std::string native = folder.empty() ? std::string(".") : MapPath(folder).written;
  DIR* dir = opendir(native.c_str());
  if (!dir && errno == ENOENT && !folder.empty()) {
    const std::string resolved = NativePath(folder);
    if (resolved != native) dir = opendir((native = resolved).c_str());
  }
  if (!dir) return ErrnoFailure();
  // readdir ends a listing that fails part-way as it ends a whole one, but for errno.
  for (errno = 0;; errno = 0) {
    const struct dirent* entry = readdir(dir);
    if (!entry) break;
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (!MatchesWildcard(wildcard, name)) continue;
    DirEntry found;
    found.name = name;
    if (entry->d_type == DT_DIR) {
      found.isDirectory = true;
    } else if (entry->d_type == DT_REG) {
      found.isFile = true;
    } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      const FileInfo info = Inspect(native + "/" + found.name);
      found.isDirectory = info.isDirectory;
      found.isFile = info.exists && S_ISREG(info.status.st_mode);
      found.isLink = info.isLink;
    }
    entries->push_back(std::move(found));
  }
  if (errno != 0) {
    const Result failure = ErrnoFailure();
    closedir(dir);
    entries->clear();
    return failure;
  }
  listedFolder.Keep(dir, native);
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) { return ListingLess(a.name, b.name); });
  return Status::kOk;
}

Result DeleteFile(const std::string& path) {
  FileInfo info;
  const std::string native = Locate(path, &info);
  if (!info.exists) return internal::Fail(Status::kNotFound, ENOENT);
  // A link to a folder is RemoveFolder's job.
  if (info.isDirectory) return internal::Fail(Status::kFailed, internal::kNotAFile);
  if (info.readOnly) return internal::Fail(Status::kReadOnly, EACCES);
  return ::unlink(native.c_str()) == 0 ? Status::kOk : ErrnoFailure();
}

Result CreateFolder(const std::string& path) {
  const std::string native = NativePath(path);
  if (::mkdir(native.c_str(), 0777) == 0) return Status::kOk;
  if (errno != EEXIST) return ErrnoFailure();
  const FileInfo info = Inspect(native);
  return internal::Fail(Status::kFailed, info.isLink        ? internal::kLinkInTheWay
                                         : info.isDirectory ? internal::kFolderInTheWay
                                                            : internal::kFileInTheWay);
}

Result RemoveFolder(const std::string& path) {
  FileInfo info;
  const std::string native = Locate(path, &info);
  if (!info.exists) return internal::Fail(Status::kNotFound, ENOENT);
  if (!info.isDirectory) return internal::Fail(Status::kFailed, ENOTDIR);
  if (info.isLink) return ::unlink(native.c_str()) == 0 ? Status::kOk : ErrnoFailure();
  return ::rmdir(native.c_str()) == 0 ? Status::kOk : ErrnoFailure();
}

Result CreateEmptyFile(const std::string& path) {
  File file;
  const Result opened = file.Open(path, File::Mode::kWriteTruncate);
  const Result closed = file.Close();
  return opened.Ok() ? closed : opened;
}

long long FileSize(const std::string& path) {
  FileInfo info;
  Locate(path, &info);
  return info.exists && S_ISREG(info.status.st_mode) ? info.status.st_size : -1;
}

bool PathExists(const std::string& path) { return ::access(NativePath(path).c_str(), F_OK) == 0; }

bool IsLink(const std::string& path) {
  FileInfo info;
  Locate(path, &info);
  return info.isLink;
}

// ---------------------------------------------------------------------------
// System

namespace {
std::string WineRoamingFolder() {
  return WinePrefix() + "/drive_c/users/" + UserName() + "/AppData/Roaming";
}

bool IsFolder(const std::string& native) {
  struct stat info;
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where `folder` ends in the components AppData and Roaming (either separator,
// letter case ignored): the start of AppData; npos when it does not.
size_t AppDataRoamingAt(const std::string& folder) {
  size_t end = folder.size();
  for (const char* name : {"Roaming", "AppData"}) {
    while (end > 0 && IsSeparator(folder[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && !IsSeparator(folder[begin - 1])) --begin;
    if (text::CompareNoCase(folder.substr(begin, end - begin), name) != 0) return std::string::npos;
    end = begin;
  }
  return end;
}

// Beside the application-data folder where that is Windows' own layout, else in
// Wine's folder for the user. Letter case and a link are the file calls' business.
std::string DocumentsFolder() {
  const std::string appData = SpecialFolderPath(26);
  const size_t appDataAt = AppDataRoamingAt(appData);
  if (appDataAt != std::string::npos) return appData.substr(0, appDataAt) + "Documents";
  return WinePrefix() + "/drive_c/users/" + UserName() + "/Documents";
}

}  // namespace

std::string SpecialFolderPath(int folderId) {
  if (folderId == 5) return DocumentsFolder();
  if (folderId != 26) return std::string();
  std::string folder = EnvironmentValue("APPDATA");
  if (folder.empty() && IsFolder(WineRoamingFolder())) folder = WineRoamingFolder();
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

std::string AppDataFolderOrigin() {
  const std::string appData = EnvironmentValue("APPDATA");
  if (!appData.empty()) return "$APPDATA names " + appData;
  const std::string roaming = WineRoamingFolder();
  if (IsFolder(roaming))
    return "$APPDATA is not set, and " + roaming + " is Wine's folder for the user";
  return "$APPDATA is not set and " + roaming + " does not exist";
}

const char* AppDataFolderRule() {
  return "$APPDATA when it is set, else Wine's folder for the user,\n"
         "  $WINEPREFIX/drive_c/users/$USER/AppData/Roaming ($WINEPREFIX defaults to ~/.wine)";
}

Result WindowsFullPath(const std::string& path, std::string* full) {
  const bool drive = path.size() >= 2 && path[1] == ':' && text::LowerByte(path[0]) >= 'a' &&
                     text::LowerByte(path[0]) <= 'z';
  if (drive || path.compare(0, 2, "\\\\") == 0) {
    *full = path;
    return Status::kOk;
  }
  std::string native = path;
  if (path.empty() || !IsSeparator(path[0])) {
    char* folder = getcwd(nullptr, 0);
    if (!folder) return ErrnoFailure();
    native = folder;
    std::free(folder);
    if (native.back() != '/') native += '/';
    native += path;
  }
  std::replace(native.begin(), native.end(), '/', '\\');
  *full = "Z:" + native;
  return Status::kOk;
}

std::string PathToUtf8(const std::string& path) {
  return text::IsUtf8(path) ? path : text::Windows1252ToUtf8(path);
}

std::string internal::SystemErrorText(int error) { return std::strerror(error); }

unsigned long CurrentThreadId() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

SystemVersion GetSystemVersion() {
  SystemVersion version;
  struct utsname name;
  if (uname(&name) != 0) return version;
  int* parts[] = {&version.major, &version.minor, &version.build};
  const char* cursor = name.release;
  for (int* part : parts) {
    char* end = nullptr;
    const long value = std::strtol(cursor, &end, 10);
    if (end == cursor) break;
    *part = static_cast<int>(value);
    if (*end != '.') break;
    cursor = end + 1;
  }
  return version;
}

std::string UtcTimeStamp() {
  const std::time_t now = std::time(nullptr);
  struct tm utc;
  if (!gmtime_r(&now, &utc)) return std::string();
  char buffer[32];
  const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
  return std::string(buffer, length);
}

void Pause() {
  std::fputs("Press any key to continue . . . ", stdout);
  std::fflush(stdout);
  char key;
  struct termios saved;
  if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
    struct termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  } else {
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace platform
