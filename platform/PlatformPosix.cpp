// Linux implementation of the platform layer.
#include <cstdio>

#include "platform/Platform.h"

namespace platform {

void WriteConsoleLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace platform
