// The one-line edit of the simulator's configuration: the exact bytes of each case, and
// the store reads every edited file as the old document with just the key set.
#include <random>

#include "config/ConfigReader.h"
#include "config/KeyLineEdit.h"
#include "support/Support.h"
#include "text/Text.h"

namespace {

const std::string kKey = "SimObjectPaths.1", kValue = "SimObjects\\VORN_KVB";


// The store's document (with the key set), names upper-cased since a key keeps the
// spelling it was first read with; "" for a UTF-16 file.
std::string Loaded(const std::string& path, const std::string& bytes, bool set) {
  WriteBytes(path, bytes);
  ConfigReader store;
  store.Open(path, false);
  if (set) store.SetString("Main", kKey, kValue);
  std::string dump;
  for (const auto& [name, keys] : store.GetDocument()) {
    dump += "[" + text::ToUpper(std::string(name)) + "]\n";
    for (const auto& [key, value] : keys)
      dump += text::ToUpper(std::string(key)) + "=" + std::string(value) + "\n";
  }
  return store.IsUtf16() ? "" : dump;
}

void ExpectStoreAgrees(const std::string& path, const std::string& file) {
  std::string edited;
  const std::string want = Loaded(path, file, true);
  EXPECT_EQ(KeyLineEdit::Apply(file, kKey, kValue, &edited), !want.empty()) << file;
  EXPECT_EQ(want, edited.empty() ? "" : Loaded(path, edited, false)) << file;
}

TEST(KeyLineEditTest, ChangesOneLineAsTheStoreReadsIt) {
  TempDir temp;
  const std::string path = temp.Join("fsx.cfg");
  std::string edited = "from the case before";  // an edit starts afresh
  int cases = 0;
  std::istringstream data(ReadBytes(KVB_TEST_DATA_DIR "/data/keylines.txt"));
  for (std::string line; std::getline(data, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string spelled = Unescape(line);
    ++cases;
    std::string file, want;
    int part = 0;  // 1 in "{old|", 2 in "|new}"
    for (const char c : spelled) {
      if (c == '{' || c == '|' || c == '}') {
        part = c == '{' ? 1 : c == '|' ? 2 : 0;
        continue;
      }
      if (part < 2) file += c;
      if (part != 1) want += c == '@' ? kKey + "=" + kValue : std::string(1, c);
    }
    EXPECT_EQ(KeyLineEdit::Apply(file, kKey, kValue, &edited), !want.empty()) << spelled;
    EXPECT_EQ(want, edited) << spelled;
    ExpectStoreAgrees(path, file);
  }
  EXPECT_GE(cases, 24);
  // Files of random lines from these pieces.
  std::vector<std::string> pieces;
  std::istringstream list(
      "[Main]|[mAIN]|[Main] ; x|[O]|SimObjectPaths.1=| simobjectpaths.1 = v||"
      "SimObjectPaths.1|; c|ab|k=v|\xEF\xBB\xBF|\xFF\xFE|=");
  for (std::string piece; std::getline(list, piece, '|');) pieces.push_back(piece);
  const std::string ends[] = {"\r\n", "\n", "\r", ""};
  std::mt19937 random(17);
  for (int i = 0; i < 400; ++i) {
    std::string file;
    for (auto n = random() % 7; n > 0; --n)
      file += pieces[random() % pieces.size()] + ends[random() % 4];
    ExpectStoreAgrees(path, file);
  }
}

}  // namespace
