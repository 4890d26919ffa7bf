#include "config/LineReader.h"

#include <cstring>

namespace {
// Holds a whole package file in one read, and stays below the size whose release
// makes the allocator tidy up its small blocks.
constexpr size_t kBlockSize = 32 * 1024;

// The block of the last reader that ended, kept for the next one: every livery
// opens two small files, and a new block for each would cost an allocation and
// its release every time.
thread_local std::unique_ptr<char[]> spareBlock;
}  // namespace

LineReader::~LineReader() {
  Close();
  if (buffer_ && !spareBlock) spareBlock = std::move(buffer_);
}

platform::Result LineReader::Open(const std::string& path) {
  Close();
  const platform::Result status = file_.Open(path, platform::File::Mode::kRead);
  if (!status.Ok()) return status;
  if (!buffer_)
    buffer_ = spareBlock ? std::move(spareBlock) : std::unique_ptr<char[]>(new char[kBlockSize]);
  return status;
}

bool LineReader::ReadLine(std::string_view* line) {
  *line = std::string_view();
  if (!file_.IsOpen()) return false;
  // Most lines lie whole in the block and are handed out where they are; only a
  // line that runs over its end is gathered.
  bool spilled = false;
  spill_.clear();
  for (;;) {
    if (position_ < end_) {
      const char* start = buffer_.get() + position_;
      const size_t available = end_ - position_;
      const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
      if (lf != nullptr) {
        const size_t length = static_cast<size_t>(lf - start);
        position_ += length + 1;
        if (spilled) {
          spill_.append(start, length);
          *line = spill_;
        } else {
          *line = std::string_view(start, length);
        }
        // The CR may have come at the end of the previous block, so look at the line.
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        return true;
      }
      spill_.append(start, available);
      position_ = end_;
      spilled = true;
    }
    if (atEnd_) break;
    size_t count = 0;
    const platform::Result read = file_.Read(buffer_.get(), kBlockSize, &count);
    if (!read.Ok()) {
      // A line cut short by the error is not a line of the file.
      atEnd_ = true;
      error_ = read;
      return false;
    }
    // Fewer bytes than asked for are the end of the file: one read call less for
    // every small file.
    atEnd_ = count < kBlockSize;
    position_ = 0;
    end_ = count;
  }
  *line = spill_;
  return spilled;
}

bool LineReader::ReadLine(std::string* line) {
  std::string_view view;
  const bool read = ReadLine(&view);
  line->assign(view);
  return read;
}

void LineReader::Close() {
  file_.Close();
  position_ = 0;
  end_ = 0;
  atEnd_ = false;
  error_ = platform::Result();
}
