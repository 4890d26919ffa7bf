#include "processor/AddOnPackage.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "diag/Report.h"
#include "platform/Platform.h"
#include "text/Text.h"

namespace {

using platform::Status;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What ".." never climbs above in an absolute path: the drive and the separators
// after it, or a UNC share ("\\server\share\").
size_t RootSize(const std::string& path) {
  size_t at = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  const int names = at ? 0 : 2;  // the server, then the share
  while (at < path.size() && IsSeparator(path[at])) ++at;
  for (int name = 0; name < names; ++name) {
    while (at < path.size() && !IsSeparator(path[at])) ++at;
    while (at < path.size() && IsSeparator(path[at])) ++at;
  }
  return at;
}

// "." and ".." of an absolute path taken away by text, as Windows does before it
// looks at the disk, never above the root. Each name keeps the separators that
// follow it, so doubled ones stay.
std::string ResolveDots(const std::string& path) {
  const size_t root = RootSize(path);
  std::vector<std::pair<size_t, size_t>> kept;  // a name and its separators
  bool dots = false;
  for (size_t at = root; at < path.size();) {
    size_t nameEnd = at;
    while (nameEnd < path.size() && !IsSeparator(path[nameEnd])) ++nameEnd;
    size_t end = nameEnd;
    while (end < path.size() && IsSeparator(path[end])) ++end;
    const std::string_view name(path.data() + at, nameEnd - at);
    if (name == "." || name == "..") {
      dots = true;
      if (name == ".." && !kept.empty()) kept.pop_back();
    } else {
      kept.emplace_back(at, end);
    }
    at = end;
  }
  if (!dots) return path;
  std::string resolved = path.substr(0, root);
  for (const auto& part : kept) resolved.append(path, part.first, part.second - part.first);
  return resolved;
}

AddOnPackage::Outcome NotDone(const char* verb, const std::string& path, std::string reason) {
  return {AddOnPackage::Result::kNotDone, path, verb, std::move(reason)};
}

// The entry the platform layer would take for `name`: the one written so, else
// the first in listing order that equals it without regard to letter case.
const platform::DirEntry* Find(const std::vector<platform::DirEntry>& entries,
                               const std::string& name) {
  for (const platform::DirEntry& entry : entries)
    if (entry.name == name) return &entry;
  return entries.empty() ? nullptr : &entries.front();
}

}  // namespace

AddOnPackage::AddOnPackage(std::string documents, std::string addOnsFolder)
    : documents_(std::move(documents)), addOnsFolder_(std::move(addOnsFolder)) {}

bool AddOnPackage::LibraryPath(const std::string& simulatorFolder, std::string* path,
                               std::string* reason) {
  // Absolute first, so that a relative path's ".." may climb into the working
  // folder; the resolution by text gives the same for any other path.
  std::string full;
  const platform::Result made =
      platform::WindowsFullPath(simulatorFolder.empty() ? "." : simulatorFolder, &full);
  if (!made.Ok()) {
    *reason = made.Reason();
    return false;
  }
  full = ResolveDots(full);
  while (!full.empty() && full.back() == '\\') full.pop_back();
  full += "\\SimObjects\\VORN_KVB";
  std::string escaped;
  for (const char c : full) {
    // Not a character that XML allows, nor one that Prepar3D would find in a path.
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      *reason = text::Format("the library path holds the control character 0x%02X", c);
      return false;
    }
    escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  }
  *path = platform::PathToUtf8(escaped);
  return true;
}

std::string AddOnPackage::Bytes(const std::string& libraryPath) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<SimBase.Document Type=\"AddOnXml\" version=\"4,0\" id=\"add-on\">\r\n"
         "  <AddOn.Name>VORN KVB</AddOn.Name>\r\n"
         "  <AddOn.Description>Multiplayer aircraft of the VORN network, kept by the Zaro "
         "pilot client</AddOn.Description>\r\n"
         "  <AddOn.Component>\r\n"
         "    <Category>SimObjects</Category>\r\n"
         "    <Path>" +
         libraryPath +
         "</Path>\r\n"
         "  </AddOn.Component>\r\n"
         "</SimBase.Document>\r\n";
}

std::string AddOnPackage::FilePath() const {
  return documents_ + "\\" + addOnsFolder_ + "\\VORN_KVB\\add-on.xml";
}

AddOnPackage::Outcome AddOnPackage::Write(const std::string& bytes) const {
  const std::string file = FilePath();
  // On a re-run this is all: the file holds its bytes, and is left with its time.
  platform::RemoveStaleTemporary(file);
  if (platform::FileHolds(file, bytes)) return {Result::kInPlace, file, "", ""};
  if (documents_.empty()) return NotDone("write", file, "the Documents folder is unknown");
  std::string folder = documents_;
  const std::string below = addOnsFolder_ + "\\VORN_KVB";
  for (size_t at = 0; at < below.size();) {
    const size_t end = std::min(below.find('\\', at), below.size());
    const std::string name = below.substr(at, end - at);
    at = end + 1;
    if (name.empty()) continue;
    const std::string parent = folder;
    folder += "\\" + name;
    // The parent's entry of that name, in any letter case: a listing of the name
    // alone tells whether it is there and what it is, on both systems.
    std::vector<platform::DirEntry> entries;
    const platform::Result listed = platform::FindFiles(folder, &entries);
    if (listed == Status::kNotFound && parent == documents_)
      return NotDone("write", file, Report::Path(documents_) + " not found");
    if (!listed.Ok()) return NotDone("list", parent, listed.Reason());
    const platform::DirEntry* entry = Find(entries, name);
    if (!entry) {
      const platform::Result made = platform::CreateFolder(folder);
      if (!made.Ok()) return NotDone("create", folder, made.Reason());
    } else if (!entry->isDirectory) {
      return NotDone("create", folder,
                     entry->isLink ? "a link of that name is in the way"
                                   : "a file of that name is in the way");
    }
  }
  const platform::Result written = platform::ReplaceFile(file, bytes, false);
  if (written == Status::kReadOnly) return {Result::kLeftAsItIs, file, "", "read-only"};
  if (!written.Ok()) return NotDone("write", file, written.Reason());
  return {Result::kWritten, file, "", ""};
}
