// Windows implementation of the platform layer: the Win32 "A" functions, given
// the tool's paths unchanged.
#include "platform/Platform.h"
#include "platform/PlatformInternal.h"

#include <io.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

// The header's platform::DeleteFile, not the system's A/W macro.
#undef DeleteFile

namespace platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr const char kTemporarySuffix[] = ".kvbtmp";

HANDLE ToHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

// The failure that GetLastError describes.
Result FailureOfLastError() {
  const DWORD error = GetLastError();
  return internal::Fail(IsMissingError(error) ? Status::kNotFound : Status::kFailed,
                        static_cast<int>(error));
}

Result ReadOnlyFailure() { return internal::Fail(Status::kReadOnly, ERROR_ACCESS_DENIED); }

Result NotAFileFailure() { return internal::Fail(Status::kFailed, internal::kNotAFile); }

// The attributes of `path`, or INVALID_FILE_ATTRIBUTES with the error kept.
DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReadOnlyFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes) &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// The file a link points to, as a path the A functions take; `path` itself when
// it is no link or the link cannot be resolved.
std::string FollowLink(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  HANDLE handle = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return path;
  char buffer[MAX_PATH + 8];
  const DWORD length =
      GetFinalPathNameByHandleA(handle, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= sizeof buffer) return path;
  std::string resolved(buffer, length);
  // "\\?\C:\..." and "\\?\UNC\server\..." back to the forms every call takes.
  if (resolved.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\\\" + resolved.substr(8);
  if (resolved.compare(0, 4, "\\\\?\\") == 0) return resolved.substr(4);
  return resolved;
}

}  // namespace

// ---------------------------------------------------------------------------
// File

File::~File() { Close(); }

Result File::Open(const std::string& path, Mode mode) {
  Close();
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (mode == Mode::kRead) {
    // A folder cannot be opened this way (no backup semantics): it fails as it should.
    handle = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  } else {
    // Checked first: Wine run as root would let the system write it.
    const DWORD attributes = Attributes(path);
    if (IsReadOnlyFile(attributes)) return ReadOnlyFailure();
    if (IsFolder(attributes)) return NotAFileFailure();
    handle = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    const Result failure = FailureOfLastError();
    // A folder refuses to open as "access denied": say what it is instead.
    return IsFolder(Attributes(path)) ? NotAFileFailure() : failure;
  }
  // Emptied or positioned through the handle: OPEN_ALWAYS keeps the file's own
  // attributes, where CREATE_ALWAYS refuses a hidden file.
  bool positioned = true;
  if (mode == Mode::kWriteTruncate) {
    positioned = SetEndOfFile(handle) != 0;
  } else if (mode == Mode::kWriteAppend) {
    LARGE_INTEGER zero = {};
    positioned = SetFilePointerEx(handle, zero, nullptr, FILE_END) != 0;
  }
  if (!positioned) {
    const Result failure = FailureOfLastError();
    CloseHandle(handle);
    return failure;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  regular_ = true;  // no device or pipe opens from a folder here
  return Status::kOk;
}

Result File::Read(char* buffer, size_t size, size_t* count) {
  *count = 0;
  if (!IsOpen()) return internal::Fail(Status::kFailed, ERROR_INVALID_HANDLE);
  // A share on the network may hand out less than asked before the end.
  size_t total = 0;
  while (total < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
    DWORD done = 0;
    if (!ReadFile(ToHandle(handle_), buffer + total, chunk, &done, nullptr))
      return FailureOfLastError();
    if (done == 0) break;
    total += done;
  }
  *count = total;
  return Status::kOk;
}

Result File::ReadAt(long long offset, char* buffer, size_t size, size_t* count) {
  *count = 0;
  if (!IsOpen()) return internal::Fail(Status::kFailed, ERROR_INVALID_HANDLE);
  size_t done = 0;
  while (done < size) {
    const unsigned long long at = static_cast<unsigned long long>(offset) + done;
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle_), buffer + done, chunk, &got, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return FailureOfLastError();
    }
    if (got == 0) break;
    done += got;
  }
  *count = done;
  return Status::kOk;
}

Result File::Write(const char* data, size_t size) {
  if (!IsOpen()) return internal::Fail(Status::kFailed, ERROR_INVALID_HANDLE);
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD done = 0;
    if (!WriteFile(ToHandle(handle_), data, chunk, &done, nullptr)) return FailureOfLastError();
    if (done == 0) return internal::Fail(Status::kFailed, ERROR_WRITE_FAULT);
    data += done;
    size -= done;
  }
  return Status::kOk;
}

Result File::Sync() {
  if (!IsOpen()) return internal::Fail(Status::kFailed, ERROR_INVALID_HANDLE);
  return FlushFileBuffers(ToHandle(handle_)) ? Result() : FailureOfLastError();
}

Result File::Close() {
  if (!IsOpen()) return Status::kOk;
  const bool closed = CloseHandle(ToHandle(handle_)) != 0;
  handle_ = kInvalid;
  regular_ = false;
  return closed ? Result() : FailureOfLastError();
}

// ---------------------------------------------------------------------------
// AtomicFile

AtomicFile::~AtomicFile() { Abandon(); }

Result AtomicFile::Begin(const std::string& path, Placement placement) {
  Abandon();
  // Names ignore letter case here: one replacement over another spelling is the
  // whole change. A link is replaced by the rename itself.
  targetNative_ = placement == Placement::kThisName ? path : FollowLink(path);
  const DWORD attributes = Attributes(targetNative_);
  if (IsFolder(attributes)) return NotAFileFailure();
  if (IsReadOnlyFile(attributes)) return ReadOnlyFailure();
  tempNative_ = targetNative_ + kTemporarySuffix;
  // Never write through something else that happens to carry the temporary name.
  const DWORD stale = Attributes(tempNative_);
  if (stale != INVALID_FILE_ATTRIBUTES &&
      (IsFolder(stale) || IsReadOnlyFile(stale) || !DeleteFileA(tempNative_.c_str()))) {
    tempNative_.clear();
    return internal::Fail(Status::kFailed, ERROR_ALREADY_EXISTS);
  }
  // The replacement keeps the old file's attributes (hidden, archive...); its
  // access rights come from the folder, as the old file's did.
  DWORD keep = FILE_ATTRIBUTE_NORMAL;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    keep = attributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (keep == 0) keep = FILE_ATTRIBUTE_NORMAL;
  }
  HANDLE handle = CreateFileA(tempNative_.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                              keep, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    tempNative_.clear();
    return FailureOfLastError();
  }
  file_.handle_ = reinterpret_cast<intptr_t>(handle);
  failure_ = Result();
  return Status::kOk;
}

Result AtomicFile::Commit(bool durable) {
  if (tempNative_.empty()) return internal::Fail(Status::kFailed, ERROR_INVALID_HANDLE);
  Result result = failure_;
  if (result.Ok() && durable) result = file_.Sync();
  const Result closed = file_.Close();
  if (result.Ok()) result = closed;
  if (result.Ok()) {
    DWORD flags = MOVEFILE_REPLACE_EXISTING;
    if (durable) flags |= MOVEFILE_WRITE_THROUGH;
    if (!MoveFileExA(tempNative_.c_str(), targetNative_.c_str(), flags))
      result = FailureOfLastError();
  }
  if (!result.Ok()) {
    DeleteFileA(tempNative_.c_str());
    tempNative_.clear();
    return internal::Fail(Status::kFailed, result.error);
  }
  tempNative_.clear();
  return result;
}

void AtomicFile::Abandon() {
  file_.Close();
  if (!tempNative_.empty()) DeleteFileA(tempNative_.c_str());
  tempNative_.clear();
  failure_ = Result();
}

void RemoveTemporary(const std::string& temporaryPath) {
  const DWORD attributes = Attributes(temporaryPath);
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes) &&
      !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // Ours, whatever its attributes say: the read-only rule is for the user's files.
    SetFileAttributesA(temporaryPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temporaryPath.c_str());
  }
}

// Names ignore letter case: there is no other spelling beside a name.
void RemoveOtherSpellings(const std::string&) {}

// The system finds the name in any letter case.
void RemoveStaleTemporary(const std::string& path) {
  RemoveTemporary(FollowLink(path) + kTemporarySuffix);
}

// ---------------------------------------------------------------------------
// Folders and files

Result FindFiles(const std::string& pattern, std::vector<DirEntry>* entries) {
  entries->clear();
  // The whole folder is listed and filtered here: the system's own matching
  // also matches short 8.3 names, and its order depends on the file system.
  const size_t slash = pattern.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  const std::string wildcard = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  // Nothing at all matches "*" only in a folder without "." and "..", a drive's root.
  if (find == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND ? Status::kOk : FailureOfLastError();
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == ".." || !MatchesWildcard(wildcard, name)) continue;
    DirEntry entry;
    entry.name = name;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isFile = !entry.isDirectory;  // no pipes or devices live in a folder here
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entries->push_back(entry);
  } while (FindNextFileA(find, &data));
  // The listing ends without more files, or part-way with an error.
  const Result ended = GetLastError() == ERROR_NO_MORE_FILES ? Result() : FailureOfLastError();
  FindClose(find);
  if (!ended.Ok()) {
    entries->clear();
    return ended;
  }
  std::sort(entries->begin(), entries->end(),
            [](const DirEntry& a, const DirEntry& b) { return ListingLess(a.name, b.name); });
  return Status::kOk;
}

Result DeleteFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailureOfLastError();
  // A link to a folder is RemoveFolder's job; a link to a file goes, never its target.
  if (IsFolder(attributes)) return NotAFileFailure();
  if (IsReadOnlyFile(attributes)) return ReadOnlyFailure();
  return DeleteFileA(path.c_str()) ? Status::kOk : FailureOfLastError();
}

Result CreateFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return Status::kOk;
  const Result failure = FailureOfLastError();
  if (failure.error != ERROR_ALREADY_EXISTS) return failure;
  const DWORD attributes = Attributes(path);
  return internal::Fail(Status::kFailed, (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                             ? internal::kLinkInTheWay
                                         : IsFolder(attributes) ? internal::kFolderInTheWay
                                                                : internal::kFileInTheWay);
}

Result RemoveFolder(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailureOfLastError();
  if (!IsFolder(attributes)) return internal::Fail(Status::kFailed, ERROR_DIRECTORY);
  return RemoveDirectoryA(path.c_str()) ? Status::kOk : FailureOfLastError();
}

Result CreateEmptyFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (IsFolder(attributes)) return NotAFileFailure();
  if (IsReadOnlyFile(attributes)) return ReadOnlyFailure();
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailureOfLastError();
  CloseHandle(handle);
  return Status::kOk;
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
  int count = 0;
  for (; process; process &= process - 1) ++count;
  return std::max(1, count);
}

bool ReadRegularFile(const std::string& path, long long largest, std::string* bytes) {
  bytes->clear();
  const long long size = FileSize(path);
  if (size < 0 || size > largest || IsLink(path)) return false;
  if (ReadWholeFile(path, bytes).Ok() && static_cast<long long>(bytes->size()) == size) return true;
  bytes->clear();
  return false;
}

bool PathExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

bool IsLink(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string NativePath(const std::string& path) { return path; }

// ---------------------------------------------------------------------------
// Shell, process and system

std::string SpecialFolderPath(int folderId) {
  LPITEMIDLIST list = nullptr;
  if (SHGetSpecialFolderLocation(nullptr, folderId, &list) != S_OK) return "";
  char buffer[MAX_PATH] = {};
  const bool found = SHGetPathFromIDListA(list, buffer) == TRUE;
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator))) {
    allocator->Free(list);
    allocator->Release();
  }
  if (!found) return "";
  std::string path = buffer;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string AppDataFolderOrigin() {
  const std::string folder = SpecialFolderPath(26);
  if (folder.empty()) return "the shell gives no roaming application-data folder";
  return "the shell gives " + folder + " as the roaming application-data folder";
}

const char* AppDataFolderRule() {
  return "the user's roaming application-data folder, as the shell reports it\n"
         "  (%APPDATA%)";
}

Result WindowsFullPath(const std::string& path, std::string* full) {
  std::string buffer(MAX_PATH, '\0');
  // A longer path tells its size: at most one more try.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), &buffer[0], nullptr);
    if (length == 0) return FailureOfLastError();
    if (length < buffer.size()) {
      buffer.resize(length);
      *full = buffer;
      return Status::kOk;
    }
    buffer.assign(length, '\0');
  }
  return internal::Fail(Status::kFailed, ERROR_FILENAME_EXCED_RANGE);
}

std::string PathToUtf8(const std::string& path) {
  if (std::all_of(path.begin(), path.end(), [](char c) { return (c & 0x80) == 0; })) return path;
  const int size = static_cast<int>(path.size());
  const int wideSize = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
  if (wideSize <= 0) return path;
  std::wstring wide(wideSize, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), size, &wide[0], wideSize);
  const int utf8Size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  if (utf8Size <= 0) return path;
  std::string utf8(utf8Size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, &utf8[0], utf8Size, nullptr, nullptr);
  return utf8;
}

std::string internal::SystemErrorText(int error) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length ? std::string(buffer, length) : "error " + std::to_string(error);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

unsigned long CurrentThreadId() { return GetCurrentThreadId(); }

SystemVersion GetSystemVersion() {
  SystemVersion version;
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info)) {
    version.major = static_cast<int>(info.dwMajorVersion);
    version.minor = static_cast<int>(info.dwMinorVersion);
    version.build = static_cast<int>(info.dwBuildNumber);
    version.servicePack = info.szCSDVersion;
  }
  return version;
}

std::string UtcTimeStamp() {
  const __time64_t now = _time64(nullptr);
  struct tm parts = {};
  if (_gmtime64_s(&parts, &now) != 0) return "";
  char buffer[32];
  const size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &parts);
  return std::string(buffer, length);
}

void Pause() {
  std::fflush(stdout);
  std::system("PAUSE");
  std::fflush(stdout);
}

}  // namespace platform
