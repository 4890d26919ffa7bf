// The one-line edit of the simulator's configuration: the exact bytes of each case, and
// the store reads every edited file as the old document with just the key set.
#include <random>

#include "config/ConfigReader.h"
#include "config/KeyLineEdit.h"
#include "support/Support.h"
#include "text/Text.h"

namespace {

using namespace std::string_literals;
const std::string kKey = "SimObjectPaths.1", kValue = "SimObjects\\VORN_KVB";

// "{old|new}" is `old` in the file and `new` in the edited bytes; '@' is the new line.
// No edited bytes at all is a refusal.
const std::string kCases[] = {
    "; top\r\n\r\n[Main]\r\n  SimObjectPaths.0 = A  \r\n{|@\r\n}ab\r\n; "
    "e\r\n//x=1\r\n\r\n[O]\r\nk=v\r\n",
    "\xEF\xBB\xBF[Main]\r\nx=1\r\n{|@\r\n}",
    "[Main]\nx=1\n{|@\n}[X]\ny=2",
    "[Main]\nx=1\r\n{|@\r\n}",
    "[Main]\r\nx=1{|\r\n@\r\n}",
    "[Main]\nx=1\ny=2{|\n@\n}",
    "[Main]{|\r\n@\r\n}",
    "[Main]\r\n{simobjectpaths.1 =  |@}\r\nSimObjectPaths.2=b\r\n",
    "[main]\n{ SimObjectPaths.1|@}\n",
    "[Main]\r\nSimObjectPaths.1=a\r\n[O]\r\nk=v\r\n[MAIN]\r\n{SIMOBJECTPATHS.1=|@}\r\nz=1\r\n",
    "[Main]\r\nSimObjectPaths.1=\r\nSimObjectPaths.1=a\r\n{|@\r\n}",
    "[Main]\r\n{SimObjectPaths.1=|@}",
    "[Main]\r\r\n{SimObjectPaths.1=\r|@}\r\n",
    "[Main]\r\nSimObjectPaths.10=\r\n{|@\r\n}[O]\r\nSimObjectPaths.1=\r\n",
    "[Main]\r\na=1\r\n[X]\r\nb=2\r\n[main]\r\nc=3\r\n{|@\r\n}; c\r\n\r\n[Y]\r\nd=4\r\n",
    "[Main]\r\na=1\r\n[MAIN]\r\n{|@\r\n}; only\r\n[ MAIN ]\r\nd=4\r\n",
    "SimObjectPaths.1=\r\n[Other]\r\na=b{|\r\n[Main]\r\n@\r\n}",
    "[Main] ; x\nSimObjectPaths.1=\n[Main]=1\n{|[Main]\n@\n}",
    "{|[Main]\r\n@\r\n}",
    "\xEF\xBB\xBF{|[Main]\r\n@\r\n}",
    "[Main]\rSimObjectPaths.1=\r{|\r\n[Main]\r\n@\r\n}",
    "[Main]\r\nSimObjectPaths.1\0=\r\n{|@\r\n}"s,
    "{\xFF\xFE[\0M\0]\0\r\0\n\0|}"s,
    "{\xFE\xFF\0[\0M\0]|}"s,
};

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
  static_assert(std::size(kCases) >= 24, "every case above");
  TempDir temp;
  const std::string path = temp.Join("fsx.cfg");
  std::string edited = "from the case before";  // an edit starts afresh
  for (const std::string& spelled : kCases) {
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
