// Where the shell keeps a special folder for the current user.
#pragma once

#include <string>

constexpr int kCsidlAppData = 26;  // the roaming application-data folder
constexpr int kCsidlPersonal = 5;  // the Documents folder

/// The folder's path without a trailing backslash, or "" when it cannot be found.
std::string GetSpecialFolderPath(int folderId);
