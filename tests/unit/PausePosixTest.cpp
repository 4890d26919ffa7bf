// The pause on a terminal: one key ends it, with no line end after it.
#include <pty.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "support/Support.h"

TEST(PausePosixTest, OneKeyEndsThePauseOnATerminal) {
  int user = -1, terminal = -1;
  ASSERT_EQ(openpty(&user, &terminal, nullptr, nullptr, nullptr), 0);
  const int input = dup(STDIN_FILENO);
  ASSERT_EQ(dup2(terminal, STDIN_FILENO), STDIN_FILENO);
  ASSERT_EQ(write(user, "x", 1), 1);
  alarm(10);  // a pause that waits for a line would never end
  platform::Pause();
  alarm(0);
  dup2(input, STDIN_FILENO);
  for (int fd : {input, user, terminal}) close(fd);
}
