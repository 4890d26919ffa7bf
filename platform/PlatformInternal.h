// What the two implementations of the platform layer share, and nobody else uses.
#pragma once

namespace platform {
namespace internal {

/// True when the write fault injected by InjectWriteFault is due now.
bool ConsumeWriteFault();

}  // namespace internal
}  // namespace platform
