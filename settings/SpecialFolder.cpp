#include "settings/SpecialFolder.h"

#include "platform/Platform.h"

// The platform gives it without a trailing separator: callers append "\VORN\Zaro".
std::string GetSpecialFolderPath(int folderId) { return platform::SpecialFolderPath(folderId); }
