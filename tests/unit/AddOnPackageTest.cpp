// add-on.xml: its exact bytes, and its writer by cases over a scratch Documents folder.
#include <chrono>

#include "processor/AddOnPackage.h"
#include "support/Support.h"

namespace {

// Each case: the entries before (a line each: "d PATH", "f PATH=old|new", "r PATH=old|new"
// for read-only), the outcome, and the entries after ("*" after a file that was
// written). $V is Documents\Prepar3D v5 Add-ons\VORN_KVB; old files are two days old.
struct Case {
  const char* before;
  const char* outcome;
  const char* after;
};
const Case kCases[] = {
    {"d Documents", "written $V/add-on.xml", "d Documents;d $A;d $V;f $V/add-on.xml=new*"},
    {"f $V/add-on.xml=new", "in place $V/add-on.xml", "d Documents;d $A;d $V;f $V/add-on.xml=new"},
    {"f $V/add-on.xml=old", "written $V/add-on.xml", "d Documents;d $A;d $V;f $V/add-on.xml=new*"},
    {"r $V/add-on.xml=new", "in place $V/add-on.xml",
     "d Documents;d $A;d $V;f $V/add-on.xml (read-only)=new"},
    {"r $V/add-on.xml=old", "left $V/add-on.xml (read-only)",
     "d Documents;d $A;d $V;f $V/add-on.xml (read-only)=old"},
    {"f $V/add-on.xml=new;f $V/ADD-ON.XML.KVBTMP=old", "in place $V/add-on.xml",
     "d Documents;d $A;d $V;f $V/add-on.xml=new"},
    {"f $V=old", "cannot create $V: a file of that name is in the way",
     "d Documents;d $A;f $V=old"},
    {"d x", "cannot write $V/add-on.xml: Documents not found", "d x"},
    {"d documents/prepar3d v5 add-ons", "written $V/add-on.xml",
     "d documents;d documents/prepar3d v5 add-ons;d documents/prepar3d v5 add-ons/VORN_KVB;"
     "f documents/prepar3d v5 add-ons/VORN_KVB/add-on.xml=new*"},
};

std::string Paths(std::string text) {
  text = ReplaceAll(text, "$V", "$A/VORN_KVB");
  return ReplaceAll(text, "$A", "Documents/Prepar3D v5 Add-ons");
}

TEST(AddOnPackageTest, BytesAreExactAndWrittenOnlyWhenTheyDiffer) {
  const std::string library = "C:\\Games\\P3D &amp; more\\SimObjects\\VORN_KVB";
  const std::string bytes = AddOnPackage::Bytes(library);
  EXPECT_EQ(bytes, ReadBytes(KVB_TEST_DATA_DIR "/data/add-on.xml"));
  // Another text of the same size: only the bytes tell it apart.
  const std::string other = ReplaceAll(bytes, "VORN KVB", "VORN KVX");
  // Whole seconds, which every file system keeps exactly.
  const auto old = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now()) -
                   std::chrono::hours(48);
  for (const Case& c : kCases) {
    TempDir temp;
    std::istringstream before(Paths(c.before));
    for (std::string line; std::getline(before, line, ';');) {
      const std::string path = temp.Join(line.substr(2, line.find('=') - 2));
      if (line[0] == 'd') {
        fs::create_directories(path);
        continue;
      }
      WriteBytes(path, line.substr(line.find('=') + 1) == "new" ? bytes : other);
      fs::last_write_time(path, old);
      if (line[0] == 'r') fs::permissions(path, fs::perms::all, fs::perm_options::remove);
    }
    const AddOnPackage package(temp.Join("Documents"), "Prepar3D v5 Add-ons");
    const AddOnPackage::Outcome outcome = package.Write(bytes);
    const char* const kResults[] = {"written ", "in place ", "left ", "cannot "};
    std::string actual = kResults[static_cast<int>(outcome.result)];
    if (!outcome.verb.empty()) actual += outcome.verb + " ";
    actual += outcome.path;
    if (outcome.result == AddOnPackage::Result::kLeftAsItIs) actual += " (" + outcome.reason + ")";
    if (outcome.result == AddOnPackage::Result::kNotDone) actual += ": " + outcome.reason;
    const std::string root = ReplaceAll(temp.Path(), "\\", "/") + "/";
    actual = ReplaceAll(ReplaceAll(actual, "\\", "/"), root, "");
    EXPECT_EQ(actual, Paths(c.outcome)) << c.before;
    std::string after;
    for (const auto& [path, entry] : Snapshot(temp.Path())) {
      after += (after.empty() ? "" : ";") + entry.first;
      if (entry.first[0] != 'f') continue;
      after += entry.second == bytes ? "=new" : entry.second == other ? "=old" : "=?";
      if (fs::last_write_time(temp.Join(path)) != old) after += "*";
    }
    EXPECT_EQ(ReplaceAll(after, "%20", " "), Paths(c.after)) << c.before;
  }
}

}  // namespace
