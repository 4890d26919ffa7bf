#include "config/LineReader.h"
#include "config/LineWriter.h"
#include "support/TempDir.h"

using namespace std::string_literals;

namespace {

using LineFileTest = TempDirTest;

TEST_F(LineFileTest, ReaderSplitsAtLfAndDropsTheCrBeforeIt) {
  const std::string block(65535, 'x');  // the CR ends one read block, the LF starts the next
  const std::string huge(10 << 20, 'v');
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\rb\r", {"a\rb\r"}},
      {"a\r\r\n\0\n"s, {"a\r", "\0"s}},
      {block + "\r\nb", {block, "b"}},
      {huge + "\nj", {huge, "j"}}};
  for (const auto& [input, expected] : cases) {
    ASSERT_TRUE(temp_.WriteFile("f.txt", input));
    LineReader reader;
    ASSERT_TRUE(reader.Open(Path("f.txt")));
    std::vector<std::string> lines;
    for (std::string line; reader.ReadLine(&line);) lines.push_back(line);
    EXPECT_TRUE(lines == expected && !reader.Failed()) << input.substr(0, 20);
  }
  LineReader reader;
  EXPECT_FALSE(reader.Open(Path("missing.txt")) || reader.Open(temp_.Path()));
}

TEST_F(LineFileTest, WriterEndsLinesWithCrLfAndStopsAtTheFirstError) {
  {
    LineWriter writer;
    ASSERT_TRUE(writer.Open(Path("f.txt"), platform::File::Mode::kWriteTruncate));
    writer.WriteLine("a");
    writer.Write("b\r\n");
    writer.WriteLine("");
    writer.Flush();
    writer.WriteLine("c");
  }  // the destructor flushes
  LineWriter writer;
  ASSERT_TRUE(writer.Open(Path("f.txt"), platform::File::Mode::kWriteAppend));
  writer.WriteLine("d");
  writer.Flush();
  platform::InjectWriteFault(1);
  writer.WriteLine("lost");
  writer.Flush();
  EXPECT_FALSE(writer.Good());
  platform::InjectWriteFault(0);
  writer.WriteLine("dropped");
  writer.Close();
  // The full disk took half of the failed block; nothing after it was written.
  EXPECT_EQ(temp_.ReadFile("f.txt"), "a\r\nb\r\n\r\nc\r\nd\r\nlos");
  EXPECT_FALSE(writer.Open(temp_.Path(), platform::File::Mode::kWriteTruncate) || writer.Good());
}

}  // namespace
