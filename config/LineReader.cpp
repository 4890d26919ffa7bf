#include "config/LineReader.h"

#include <cstring>

namespace {
constexpr size_t kBlockSize = 64 * 1024;
}  // namespace

bool LineReader::Open(const std::string& path) {
  Close();
  if (file_.Open(path, platform::File::Mode::kRead) != platform::Status::kOk) return false;
  buffer_.resize(kBlockSize);
  return true;
}

bool LineReader::ReadLine(std::string* line) {
  line->clear();
  if (!file_.IsOpen()) return false;
  bool any = false;
  for (;;) {
    if (position_ < end_) {
      const char* start = buffer_.data() + position_;
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
    if (atEnd_) return any;
    const long long count = file_.Read(&buffer_[0], buffer_.size());
    if (count < 0) {
      // A line cut short by the error is not a line of the file.
      atEnd_ = true;
      failed_ = true;
      line->clear();
      return false;
    }
    if (count == 0) {
      atEnd_ = true;
      return any;
    }
    position_ = 0;
    end_ = static_cast<size_t>(count);
  }
}

void LineReader::Close() {
  file_.Close();
  buffer_.clear();
  position_ = 0;
  end_ = 0;
  atEnd_ = false;
  failed_ = false;
}
