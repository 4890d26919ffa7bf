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

platform::Status LineReader::Open(const std::string& path) {
  Close();
  const platform::Status status = file_.Open(path, platform::File::Mode::kRead);
  if (status != platform::Status::kOk) return status;
  unread_ = file_.Size();
  if (!buffer_)
    buffer_ = spareBlock ? std::move(spareBlock) : std::unique_ptr<char[]>(new char[kBlockSize]);
  return status;
}

bool LineReader::ReadLine(std::string* line) {
  line->clear();
  if (!file_.IsOpen()) return false;
  bool any = false;
  for (;;) {
    if (position_ < end_) {
      const char* start = buffer_.get() + position_;
      const size_t available = end_ - position_;
      const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
      if (lf != nullptr) {
        const size_t length = static_cast<size_t>(lf - start);
        line->append(start, length);
        position_ += length + 1;
        // The CR may have come at the end of the previous block, so look at the line.
        if (!line->empty() && line->back() == '\r') line->pop_back();
        return true;
      }
      line->append(start, available);
      position_ = end_;
      any = true;
    }
    // Once the size that the file had when opened is read, that is its end: one
    // read call less for every small file.
    if (atEnd_ || unread_ == 0) return any;
    const long long count = file_.Read(buffer_.get(), kBlockSize);
    if (count < 0) {
      // A line cut short by the error is not a line of the file.
      atEnd_ = true;
      failed_ = true;
      error_ = platform::LastError();
      line->clear();
      return false;
    }
    if (count == 0) {
      atEnd_ = true;
      return any;
    }
    if (unread_ > 0) unread_ = count < unread_ ? unread_ - count : 0;
    position_ = 0;
    end_ = static_cast<size_t>(count);
  }
}

void LineReader::Close() {
  file_.Close();
  position_ = 0;
  end_ = 0;
  unread_ = -1;
  atEnd_ = false;
  failed_ = false;
  error_ = 0;
}
