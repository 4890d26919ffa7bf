// What the two implementations of the platform layer share, and nobody else uses.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace platform {
namespace internal {

/// An error number of our own, for something that is there but is not a regular
/// file (a folder, a FIFO, a device) where a file is wanted.
constexpr int kNotAFile = -1;

/// Keeps `error` for LastError and returns `status`, for a one-line failure.
Status Fail(Status status, int error);

/// The system's own text for one of its error numbers.
std::string SystemErrorText(int error);

}  // namespace internal
}  // namespace platform
