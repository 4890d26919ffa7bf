// What the two implementations of the platform layer share, and nobody else uses.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace platform {
namespace internal {

/// Error numbers of our own. kNotAFile: something is there but is not a regular
/// file (a folder, a FIFO, a device) where a file is wanted. The others: what
/// stands where a folder was to be created.
constexpr int kNotAFile = -1;
constexpr int kFileInTheWay = -2;
constexpr int kFolderInTheWay = -3;
constexpr int kLinkInTheWay = -4;

inline Result Fail(Status status, int error) { return Result(status, error); }

/// The system's own text for one of its error numbers.
std::string SystemErrorText(int error);

}  // namespace internal
}  // namespace platform
