// The pause on a terminal: its prompt, then one key (and no more) ends it, with no line
// end after it, and the terminal's mode is as it was.
#include <pty.h>
#include <unistd.h>

#include "platform/Platform.h"
#include "support/Support.h"

TEST(PausePosixTest, OneKeyEndsThePauseOnATerminal) {
  int user = -1, terminal = -1, input = dup(STDIN_FILENO);
  ASSERT_EQ(openpty(&user, &terminal, nullptr, nullptr, nullptr), 0);
  struct termios before, after;
  ASSERT_EQ(tcgetattr(terminal, &before) + write(user, "xy", 2) + dup2(terminal, STDIN_FILENO), 2);
  testing::internal::CaptureStdout();
  alarm(10);  // a pause that waits for a line would never end, nor a read of nothing
  platform::Pause();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Press any key to continue . . . \n");
  dup2(input, STDIN_FILENO);
  char rest[8] = {};
  EXPECT_EQ(read(terminal, rest, sizeof rest) + tcgetattr(terminal, &after), 1);
  alarm(0);
  EXPECT_STREQ(rest, "y");                   // x was taken
  EXPECT_EQ(after.c_lflag, before.c_lflag);  // the line mode and the echo are back
  for (int fd : {input, user, terminal}) close(fd);
}
