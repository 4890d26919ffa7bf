// The only place that knows which operating system the tool runs on.
//
// Every path given to these functions is a Windows-style text exactly as the tool
// formed it ("C:\FSX\SimObjects\VORN_KVB\VORN_A320\vorn.cfg"). Windows passes it
// unchanged to the A functions; Linux maps a drive letter to Wine's drive folder,
// turns backslashes into slashes and ignores letter case the way Windows does.
//
// Failures never throw: each call says whether it worked, and "not found" is kept
// apart from other failures where a caller may care.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// kReadOnly: a file the user marked read-only, left alone.
enum class Status { kOk, kNotFound, kReadOnly, kFailed };

/// What a call did, with the reason of its failure carried along: a report line
/// words the failure of the very call whose result it holds, whatever ran since.
struct Result {
  Result(Status status = Status::kOk, int error = 0) : status(status), error(error) {}
  bool Ok() const { return status == Status::kOk; }
  friend bool operator==(const Result& result, Status status) { return result.status == status; }
  friend bool operator!=(const Result& result, Status status) { return result.status != status; }
  /// Why it failed, as a pilot reads it: the tool's own words for "not found",
  /// "read-only", "not a file" and a name in the way, else the system's text.
  std::string Reason() const;

  Status status;
  int error;  // errno or GetLastError, or one of the tool's own (negative)
};

/// A file handle for byte I/O, opened without sharing restrictions. Reads and
/// writes go straight to the operating system: callers buffer.
class File {
 public:
  enum class Mode {
    kRead,           // existing file, reading
    kWriteTruncate,  // created when missing, emptied when present
    kWriteAppend,    // created when missing, positioned at its end
  };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /// For writing: fails on a folder or anything else that is not a regular file
  /// (a FIFO, a device); a read-only file gives kReadOnly (even as root).
  Result Open(const std::string& path, Mode mode);
  bool IsOpen() const { return handle_ != kInvalid; }
  /// Puts the bytes read in `count`. From a regular file, fewer than `size` only
  /// at its end: a network file system may hand out less before it. A device or
  /// a pipe is read until it has nothing more for now, and fails when it fills
  /// the whole buffer, as it may never end; a folder fails as not a file.
  Result Read(char* buffer, size_t size, size_t* count);
  /// Reads from `offset` until `size` bytes are in or the file ends, and puts the
  /// bytes read in `count`; anything but a regular file fails. Where Read goes on
  /// afterwards is not defined: use one or the other on a file.
  Result ReadAt(long long offset, char* buffer, size_t size, size_t* count);
  /// Writes all bytes or fails.
  Result Write(const char* data, size_t size);
  /// Asks the system to put the content on the disk (fsync, FlushFileBuffers).
  Result Sync();
  /// A write error may show only here (network file systems, quotas).
  Result Close();

 private:
  friend class AtomicFile;  // writes its temporary file through a File
  static constexpr intptr_t kInvalid = -1;
  /// Linux: sets regular_, or fails as not a file.
  Result LearnKind();
  intptr_t handle_ = kInvalid;
  bool regular_ = false;  // known to be a regular file
};

/// Which file a replacement replaces. kTarget: the file the path names, a link
/// followed and letter case resolved, as for the user's own files. kThisName: the
/// entry of exactly the last name written, a link itself included (the file it
/// points to stays as it is); another spelling of the name is left to
/// RemoveOtherSpellings.
enum class Placement { kTarget, kThisName };

/// Writes a file anew through a temporary file beside it ("<target>.kvbtmp") that
/// replaces the target in one step, so the target is always whole: old or new.
/// The new file keeps the old one's permission bits, and its owner where that is
/// allowed.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // an unfinished write is abandoned
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  /// Fails, touching nothing, when the target is read-only (kReadOnly) or is not
  /// a regular file (a folder, a FIFO, a device).
  Result Begin(const std::string& path, Placement placement = Placement::kTarget);
  Result Write(const char* data, size_t size);
  /// Replaces the target; with `durable`, the data is on the disk first. On any
  /// failure the temporary file is removed and the target stays as it was.
  Result Commit(bool durable);
  void Abandon();

 private:
  File file_;
  std::string tempNative_;
  std::string targetNative_;
  Result failure_;  // the first failed write
};

/// Replaces the file at `path` with `bytes` through an AtomicFile; kReadOnly or
/// kFailed when the file stays as it was.
Result ReplaceFile(const std::string& path, const std::string& bytes, bool durable,
                   Placement placement = Placement::kTarget);

/// Deletes the files and links beside `path` whose names differ from its last name
/// only in letter case (possible on Linux only); a read-only file stays.
void RemoveOtherSpellings(const std::string& path);

/// The whole content of the regular file at `path`, for a file that is edited
/// byte for byte; a device fails as not a file, as it may never end.
Result ReadWholeFile(const std::string& path, std::string* bytes);

/// How many processors this process may run on (its affinity), at least 1.
int UsableProcessors();

/// Reads the whole of the file at `path` into `bytes` when it is a regular file of
/// at most `largest` bytes and no link, found as written; false otherwise, having
/// read nothing from anything else. For reading ahead of need, where a miss costs
/// only the reading it would have saved.
bool ReadRegularFile(const std::string& path, long long largest, std::string* bytes);

/// True when the file at `path` holds exactly `bytes`. `knownSize`, where a listing
/// gave one (else -1), spares opening a file of another size.
bool FileHolds(const std::string& path, const std::string& bytes, long long knownSize = -1);

/// Removes the temporary files that a killed run left beside `path`, whatever
/// the letter case of their names.
void RemoveStaleTemporary(const std::string& path);
/// Removes one such file, named as the listing names it; never a folder or a link.
void RemoveTemporary(const std::string& temporaryPath);

/// One entry of a folder listing.
struct DirEntry {
  std::string name;
  bool isDirectory = false;  // a link to a folder counts as a folder
  bool isFile = false;       // a regular file (a link to one counts as one)
  bool isLink = false;       // symbolic link, junction or other reparse point
  long long size = -1;       // where the listing tells it (Windows), else -1
};

/// Lists the entries that match the last component of `pattern` ('*' any run,
/// '?' one character, letter case ignored, a trailing ".*" also matching a name
/// without a dot), sorted as NTFS sorts them. "." and ".." never appear. kOk when
/// the folder could be read, even with no entry matching; kNotFound when there is
/// no such folder.
Result FindFiles(const std::string& pattern, std::vector<DirEntry>* entries);

/// The matching rule of FindFiles for one name.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

/// The order of FindFiles: names compared as upper-cased bytes, then raw bytes.
bool ListingLess(const std::string& a, const std::string& b);

/// Deletes a file (a link: the link). Fails on a folder; kReadOnly on a read-only
/// file.
Result DeleteFile(const std::string& path);

/// Creates one folder; fails when anything of that name exists, with what is in
/// the way as the reason.
Result CreateFolder(const std::string& path);

/// Removes an empty folder, or a link to a folder (only the link). Never removes a
/// file.
Result RemoveFolder(const std::string& path);

/// Creates an empty file, or empties an existing one, with no sharing while it is
/// open; the file is closed at once. kReadOnly on a read-only file.
Result CreateEmptyFile(const std::string& path);

/// The size of the regular file at `path` (a link followed); -1 when there is none.
long long FileSize(const std::string& path);

/// True when anything exists at `path` (the `_access` existence test).
bool PathExists(const std::string& path);

/// True when `path` itself is a link (not followed).
bool IsLink(const std::string& path);

/// The path that the target's own calls use for `path`: unchanged on Windows, the
/// mapped native path on Linux. How the report names a file, and for tests.
std::string NativePath(const std::string& path);

/// A shell special folder (26: the roaming application-data folder, 5: the
/// Documents folder), without a trailing separator; "" when it cannot be found.
/// Folder 5 is given whether or not it exists.
std::string SpecialFolderPath(int folderId);
/// Where SpecialFolderPath looks for folder 26 on this system, in words (lines
/// after the first start with two blanks).
const char* AppDataFolderRule();
/// Why SpecialFolderPath(26) is the folder it is on this run, or why there is
/// none, in words: the report names it when the settings are missing.
std::string AppDataFolderOrigin();

/// `path` made absolute as Windows names it. Windows: GetFullPathNameA. Linux: a
/// path with a drive letter and a UNC path stay as they are; any other is named
/// through Wine's drive Z: ("Z:", then the path with '/' turned into '\'), a
/// relative one first put below the working folder, whose "." and ".." are left
/// to the caller. kFailed when it cannot be made.
Result WindowsFullPath(const std::string& path, std::string* full);

/// The bytes of `path` above 0x7F in UTF-8. Windows: read in the ANSI code page.
/// Linux: kept when the path is UTF-8 already, else read as Windows-1252.
std::string PathToUtf8(const std::string& path);

/// The calling thread's id as the system numbers it.
unsigned long CurrentThreadId();

struct SystemVersion {
  int major = 0;
  int minor = 0;
  int build = 0;
  std::string servicePack;
};
SystemVersion GetSystemVersion();

/// The current time in UTC as "%Y-%m-%d %H:%M:%S".
std::string UtcTimeStamp();

/// Prints one line on standard output with the console's line end, and flushes.
void WriteConsoleLine(const std::string& line);
/// The same on standard error.
void WriteErrorLine(const std::string& line);

/// Prompts and waits for one key; returns at once when there is no input.
void Pause();

}  // namespace platform
