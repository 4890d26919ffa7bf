// What the platform layer does the same way on every target: matching and
// ordering of folder listings (the system's own matching differs between file
// systems, and FAT and Wine list in other orders than NTFS), console lines, whole
// files read, compared and replaced, and the words of a failure.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Platform.h"
#include "platform/PlatformInternal.h"
#include "text/Text.h"

namespace platform {

namespace {

// '*' and '?' with greedy backtracking to the last star: linear in practice,
// never exponential.
bool Match(const char* p, const char* pEnd, const char* n, const char* nEnd) {
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (n != nEnd) {
    if (p != pEnd && *p == '*') {
      starP = ++p;
      starN = n;
    } else if (p != pEnd && (*p == '?' || text::UpperByte(static_cast<unsigned char>(*p)) ==
                                              text::UpperByte(static_cast<unsigned char>(*n)))) {
      ++p;
      ++n;
    } else if (starP) {
      p = starP;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p != pEnd && *p == '*') ++p;
  return p == pEnd;
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  // A listing of every name asks for each one.
  if (pattern == "*") return true;
  const char* p = pattern.data();
  const char* n = name.data();
  if (Match(p, p + pattern.size(), n, n + name.size())) return true;
  // "texture.*" also finds the folder "texture".
  const size_t size = pattern.size();
  if (size >= 2 && pattern[size - 2] == '.' && pattern[size - 1] == '*' &&
      name.find('.') == std::string_view::npos) {
    return Match(p, p + size - 2, n, n + name.size());
  }
  return false;
}

bool ListingLess(const std::string& a, const std::string& b) {
  const int folded = text::CompareNoCase(a, b);
  if (folded != 0) return folded < 0;
  return a < b;  // std::string compares bytes as unsigned char
}

Result ReplaceFile(const std::string& path, const std::string& bytes, bool durable,
                   Placement placement) {
  // In blocks, as a full disk may refuse any one of them.
  constexpr size_t kBlock = 64 * 1024;
  AtomicFile file;
  const Result begun = file.Begin(path, placement);
  if (!begun.Ok()) return begun;
  for (size_t at = 0; at < bytes.size(); at += kBlock) {
    const Result written = file.Write(bytes.data() + at, std::min(kBlock, bytes.size() - at));
    if (!written.Ok()) return written;
  }
  return file.Commit(durable);
}

Result ReadWholeFile(const std::string& path, std::string* bytes) {
  constexpr size_t kBlock = 64 * 1024;
  bytes->clear();
  File file;
  Result result = file.Open(path, File::Mode::kRead);
  for (size_t count = kBlock; result.Ok() && count == kBlock;) {
    const size_t at = bytes->size();
    bytes->resize(at + kBlock);
    result = file.Read(&(*bytes)[at], kBlock, &count);
    bytes->resize(at + count);
  }
  if (!result.Ok()) bytes->clear();
  return result;
}

bool FileHolds(const std::string& path, const std::string& bytes, long long knownSize) {
  constexpr size_t kBlock = 256 * 1024;
  if (knownSize >= 0 && knownSize != static_cast<long long>(bytes.size())) return false;
  File file;
  if (!file.Open(path, File::Mode::kRead).Ok()) return false;
  // Most files end within the first block: one read call. Kept from file to file.
  static thread_local std::unique_ptr<char[]> block(new char[kBlock]);
  for (size_t at = 0;;) {
    size_t count = 0;
    if (!file.Read(block.get(), kBlock, &count).Ok() || count > bytes.size() - at ||
        std::memcmp(block.get(), bytes.data() + at, count) != 0)
      return false;
    at += count;
    if (count < kBlock) return at == bytes.size();
  }
}

Result AtomicFile::Write(const char* data, size_t size) {
  if (tempNative_.empty()) return Result(Status::kFailed, internal::kNotAFile);
  if (failure_.Ok()) failure_ = file_.Write(data, size);
  return failure_;
}

std::string Result::Reason() const {
  if (status == Status::kNotFound) return "not found";
  if (status == Status::kReadOnly) return "read-only";
  switch (error) {
    case internal::kNotAFile:
      return "not a file";
    case internal::kFileInTheWay:
      return "a file of that name is in the way";
    case internal::kFolderInTheWay:
      return "a folder of that name is in the way";
    case internal::kLinkInTheWay:
      return "a link of that name is in the way";
  }
  return internal::SystemErrorText(error);
}

namespace {
void WriteLine(const std::string& line, std::FILE* stream) {
  // Windows keeps both streams in text mode: its run-time turns the LF into CR LF.
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}
}  // namespace

void WriteConsoleLine(const std::string& line) { WriteLine(line, stdout); }

void WriteErrorLine(const std::string& line) { WriteLine(line, stderr); }
}  // namespace platform
