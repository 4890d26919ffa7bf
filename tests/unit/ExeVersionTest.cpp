// The version reader, by the table in tests/data/exe/cases.txt.
#include "diag/Report.h"
#include "processor/ExeVersion.h"
#include "support/Support.h"

namespace {

// An image in memory that counts the reads made of it.
struct Image : ExeVersion::Source {
  std::string bytes;
  int reads = 0;
  long long ReadAt(long long offset, char* buffer, size_t size) override {
    ++reads;
    return static_cast<long long>(
        bytes.copy(buffer, size, std::min(bytes.size(), static_cast<size_t>(offset))));
  }
  std::string Failure() const override { return "cannot read"; }
};

// "a.b.c.d", or why the version is unknown.
template <typename Reader>
std::string Outcome(Reader read) {
  ExeVersion::Version v;
  std::string why;
  return read(&v, &why) ? v.Text() + "." + std::to_string(v.revision) : why;
}

// Each row: a fixture, the patches made to it in memory ("" reads the file) and the
// version as "a.b.c.d" or the reason, with '*' for the fixture's path. A reason that
// ends in ':' is compared only that far: the system words the rest. An image is read
// in a block or two, or three when the version lies further on, and read the same
// when it is handed over as bytes.
TEST(ExeVersionTest, EveryCaseGivesItsVersionOrReason) {
  const std::string folder = KVB_TEST_DATA_DIR "/data/exe/";
  std::istringstream table(ReadBytes(folder + "cases.txt"));
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t bar = line.find('|'), last = line.rfind('|');
    const std::string path = folder + line.substr(0, bar);
    const std::string expected = ReplaceAll(line.substr(last + 1), "*", Report::Path(path));
    std::istringstream patches(line.substr(bar + 1, last - bar - 1));
    Image image;
    image.bytes = ReadBytes(path);
    std::string patch, actual;
    bool patched = false;
    while (patches >> patch) {  // "OFFSET=BYTES", or "OFFSET=" to end the image there
      const size_t at = std::stoul(patch, nullptr, 16);
      const std::string bytes = Unescape(patch.substr(patch.find('=') + 1));
      bytes.empty() ? image.bytes.resize(at) : (void)image.bytes.replace(at, bytes.size(), bytes);
      patched = true;
    }
    if (patched) {
      actual = Outcome([&](auto v, auto why) { return ExeVersion::Read(image, v, why); });
      EXPECT_EQ(
          Outcome([&](auto v, auto why) { return ExeVersion::ReadBytes(image.bytes, v, why); }),
          actual);
      EXPECT_LE(image.reads, 3) << line;
    } else {
      actual = Outcome([&](auto v, auto why) { return ExeVersion::Read(path, v, why); });
    }
    if (expected.back() == ':') actual.resize(std::min(actual.size(), expected.size()));
    EXPECT_EQ(actual, expected) << line;
    ++rows;
  }
  EXPECT_GE(rows, 80);
}

}  // namespace
