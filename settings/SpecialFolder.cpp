#include "settings/SpecialFolder.h"

#include "platform/Platform.h"

std::string GetSpecialFolderPath(int folderId) {
  std::string path = platform::SpecialFolderPath(folderId);
  // Callers append "\VORN\Zaro" and the like; a separator here would double it.
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}
