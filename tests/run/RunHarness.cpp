#include "RunHarness.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace kvbtest {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); !from.empty() && at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

Tree Snapshot(const std::string& root) {
  Tree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    const fs::file_status status = it->symlink_status();
    TreeEntry& entry = tree[it->path().lexically_relative(root).generic_string()];
    if (fs::is_symlink(status)) {
      entry = {'l', "", fs::read_symlink(it->path()).string()};
    } else if (fs::is_directory(status)) {
      entry.type = 'd';
    } else {
      entry.content = ReadBytes(it->path().string());
      entry.readOnly = (status.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                fs::perms::others_write)) == fs::perms::none;
    }
  }
  return tree;
}

}  // namespace kvbtest
