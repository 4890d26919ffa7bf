#include "processor/ExeVersion.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/Platform.h"

namespace {

// The reasons, few and plain: they end up in a report line.
const char kNotAProgram[] = "not a Windows program";
const char kNoVersion[] = "no version resource";
const char kCutShort[] = "damaged: cut short";
const char kOutOfRange[] = "damaged: offsets out of range";
const char kBadDirectory[] = "damaged: bad resource directory";
const char kTooLarge[] = "damaged: version resource over 64 KiB";
const char kBadData[] = "damaged: bad version data";

constexpr uint32_t kVersionType = 16;  // RT_VERSION
constexpr uint32_t kMaxResource = 64 * 1024;
constexpr uint32_t kSubdirectory = 0x80000000;
constexpr uint32_t kSignature = 0xFEEF04BD;
// VS_VERSION_INFO: three words, the key and its padding, then VS_FIXEDFILEINFO.
constexpr size_t kFixedAt = 40;
constexpr size_t kFixedSize = 52;
const char kKey[] = "V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0";  // with its NUL
constexpr size_t kSectionSize = 40;
constexpr size_t kBlockSize = 4096;  // the headers, or the resource directories, in one read

uint32_t Word(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t Dword(const unsigned char* p) { return Word(p) | Word(p + 2) << 16; }

// Follows the headers to the version resource. Every offset is checked before it is
// read, and the resource directory is walked a fixed three levels down, so any bytes
// end in a few reads of a block each.
class Parser {
 public:
  explicit Parser(ExeVersion::Source& image) : image_(image) {}
  bool Run(ExeVersion::Version* version);
  const std::string& Why() const { return why_; }

 private:
  bool Fail(const char* why) {
    why_ = why;
    return false;
  }
  // `size` bytes (at most a block) at `offset`, from a block that holds them; fewer
  // fail with `whyShort`.
  bool Get(uint64_t offset, unsigned char* buffer, size_t size, const char* whyShort = kCutShort);
  // The file offset of `size` bytes at the address `rva`, all inside the bytes that one
  // section has in the file, whatever its name; `end`, when asked, is where those end.
  bool Map(uint32_t rva, uint32_t size, uint64_t* offset, uint64_t* end = nullptr);
  // `size` bytes at `offset` from the resource directory, inside its section.
  bool GetResource(uint64_t offset, unsigned char* buffer, size_t size);

  ExeVersion::Source& image_;
  std::string why_;
  uint64_t sectionTable_ = 0;
  unsigned sectionCount_ = 0;
  struct Block {
    unsigned char bytes[kBlockSize];
    uint64_t at = 0;
    uint64_t size = 0;  // less than a block at the end of the image
  };
  Block blocks_[2];  // the first one read, with the headers, stays; the other moves
  bool headersHeld_ = false;
  uint64_t resources_ = 0;
  uint64_t resourcesEnd_ = 0;
};

bool Parser::Get(uint64_t offset, unsigned char* buffer, size_t size, const char* whyShort) {
  for (const Block& block : blocks_) {
    if (offset >= block.at && offset - block.at + size <= block.size) {
      std::memcpy(buffer, block.bytes + (offset - block.at), size);
      return true;
    }
  }
  Block& block = blocks_[headersHeld_ ? 1 : 0];
  headersHeld_ = true;
  const long long got = image_.ReadAt(static_cast<long long>(offset),
                                      reinterpret_cast<char*>(block.bytes), sizeof block.bytes);
  if (got < 0) {
    why_ = image_.Failure();
    return false;
  }
  block.at = offset;
  block.size = static_cast<uint64_t>(got);
  if (size > block.size) return Fail(whyShort);
  std::memcpy(buffer, block.bytes, size);
  return true;
}

bool Parser::Map(uint32_t rva, uint32_t size, uint64_t* offset, uint64_t* end) {
  for (unsigned i = 0; i < sectionCount_; ++i) {
    unsigned char section[kSectionSize];
    if (!Get(sectionTable_ + i * kSectionSize, section, sizeof section)) return false;
    const uint32_t address = Dword(section + 12);
    const uint32_t rawSize = Dword(section + 16);
    if (rva < address || rva - address >= rawSize) continue;
    if (size > rawSize - (rva - address)) return Fail(kOutOfRange);
    *offset = Dword(section + 20) + uint64_t{rva - address};
    if (end) *end = Dword(section + 20) + uint64_t{rawSize};
    return true;
  }
  return Fail(kOutOfRange);
}

bool Parser::GetResource(uint64_t offset, unsigned char* buffer, size_t size) {
  const uint64_t room = resourcesEnd_ - resources_;
  if (offset > room || size > room - offset) return Fail(kOutOfRange);
  return Get(resources_ + offset, buffer, size);
}

bool Parser::Run(ExeVersion::Version* version) {
  unsigned char dos[64];
  if (!Get(0, dos, sizeof dos, kNotAProgram)) return false;
  if (dos[0] != 'M' || dos[1] != 'Z') return Fail(kNotAProgram);
  const uint64_t pe = Dword(dos + 60);
  unsigned char nt[26];  // the signature, the file header, the optional header's magic
  if (!Get(pe, nt, sizeof nt, kNotAProgram)) return false;
  if (std::memcmp(nt, "PE\0\0", 4) != 0) return Fail(kNotAProgram);
  const uint32_t magic = Word(nt + 24);
  // Where the data directories start: PE32, PE32+.
  const size_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (directories == 0) return Fail(kNotAProgram);
  const uint32_t optionalSize = Word(nt + 20);
  const size_t needed = directories + 3 * 8;  // up to the resource entry, the third
  unsigned char optional[112 + 3 * 8];
  if (optionalSize < needed) return Fail(kNoVersion);
  if (!Get(pe + 24, optional, needed)) return false;
  if (Dword(optional + directories - 4) < 3) return Fail(kNoVersion);
  const uint32_t rva = Dword(optional + directories + 16);
  if (rva == 0) return Fail(kNoVersion);
  sectionCount_ = Word(nt + 6);
  sectionTable_ = pe + 24 + optionalSize;
  if (!Map(rva, 16, &resources_, &resourcesEnd_)) return false;

  // The type, found as the system finds it: by halving the numbered entries, which
  // follow the named ones.
  unsigned char header[16];
  unsigned char entry[8];
  if (!GetResource(0, header, sizeof header)) return false;
  const uint32_t named = Word(header + 12);
  uint32_t low = 0;
  uint32_t high = Word(header + 14);
  while (true) {
    if (low >= high) return Fail(kNoVersion);
    const uint32_t middle = low + (high - low) / 2;
    if (!GetResource(16 + (named + middle) * 8, entry, sizeof entry)) return false;
    const uint32_t id = Dword(entry);
    if (id == kVersionType) break;
    if (id < kVersionType)
      low = middle + 1;
    else
      high = middle;
  }
  // The name, then the language: the first entry of each. A directory met again loops.
  uint32_t seen[3] = {0, 0, 0};
  for (int level = 1; level <= 2; ++level) {
    const uint32_t next = Dword(entry + 4);
    if (!(next & kSubdirectory)) return Fail(kBadDirectory);
    seen[level] = next & ~kSubdirectory;
    for (int before = 0; before < level; ++before)
      if (seen[before] == seen[level]) return Fail(kBadDirectory);
    if (!GetResource(seen[level], header, sizeof header)) return false;
    if (Word(header + 12) + Word(header + 14) == 0) return Fail(kNoVersion);
    if (!GetResource(seen[level] + 16, entry, sizeof entry)) return false;
  }
  const uint32_t leaf = Dword(entry + 4);
  if (leaf & kSubdirectory) return Fail(kBadDirectory);
  unsigned char data[16];  // address, size, code page
  if (!GetResource(leaf, data, sizeof data)) return false;
  const uint32_t size = Dword(data + 4);
  if (size > kMaxResource) return Fail(kTooLarge);
  if (size < kFixedAt + kFixedSize) return Fail(kBadData);
  uint64_t offset = 0;
  if (!Map(Dword(data), size, &offset)) return false;
  unsigned char info[kFixedAt + kFixedSize];
  if (!Get(offset, info, sizeof info)) return false;
  const uint32_t length = Word(info);
  const uint32_t valueLength = Word(info + 2);
  if (std::memcmp(info + 6, kKey, sizeof kKey) != 0 || valueLength < kFixedSize ||
      kFixedAt + valueLength > length || length > size || Dword(info + kFixedAt) != kSignature)
    return Fail(kBadData);
  const uint32_t fileVersionMs = Dword(info + kFixedAt + 8);
  const uint32_t fileVersionLs = Dword(info + kFixedAt + 12);
  version->major = static_cast<int>(fileVersionMs >> 16);
  version->minor = static_cast<int>(fileVersionMs & 0xFFFF);
  version->build = static_cast<int>(fileVersionLs >> 16);
  version->revision = static_cast<int>(fileVersionLs & 0xFFFF);
  return true;
}

class MemoryImage : public ExeVersion::Source {
 public:
  explicit MemoryImage(const std::string& bytes) : bytes_(bytes) {}
  long long ReadAt(long long offset, char* buffer, size_t size) override {
    const size_t at = std::min(bytes_.size(), static_cast<size_t>(offset));
    const size_t count = std::min(size, bytes_.size() - at);
    std::memcpy(buffer, bytes_.data() + at, count);
    return static_cast<long long>(count);
  }
  std::string Failure() const override { return "cannot read"; }

 private:
  const std::string& bytes_;
};

class FileImage : public ExeVersion::Source {
 public:
  explicit FileImage(const std::string& path) : path_(path) {}
  platform::Result Open() { return failure_ = file_.Open(path_, platform::File::Mode::kRead); }
  long long ReadAt(long long offset, char* buffer, size_t size) override {
    size_t count = 0;
    failure_ = file_.ReadAt(offset, buffer, size, &count);
    return failure_.Ok() ? static_cast<long long>(count) : -1;
  }
  std::string Failure() const override { return failure_.Reason(); }

 private:
  const std::string path_;
  platform::File file_;
  platform::Result failure_;
};

}  // namespace

std::string ExeVersion::Version::Text() const {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

bool ExeVersion::Read(const std::string& path, Version* version, std::string* whyUnknown) {
  FileImage image(path);
  const platform::Result opened = image.Open();
  if (opened.Ok()) return Read(image, version, whyUnknown);
  *whyUnknown = opened == platform::Status::kNotFound ? "not found" : image.Failure();
  return false;
}

bool ExeVersion::Read(Source& image, Version* version, std::string* whyUnknown) {
  Parser parser(image);
  if (parser.Run(version)) return true;
  *whyUnknown = parser.Why();
  return false;
}

bool ExeVersion::ReadBytes(const std::string& image, Version* version, std::string* whyUnknown) {
  MemoryImage memory(image);
  return Read(memory, version, whyUnknown);
}
