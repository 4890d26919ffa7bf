// UTF-8 by the rules of RFC 3629, and Windows-1252 turned into it, for texts that
// leave the tool in UTF-8 (the add-on package's XML) while its paths are bytes.
#pragma once

#include <string>

namespace text {

/// True when `bytes` is UTF-8 as RFC 3629 allows it: no overlong form, no
/// surrogate, nothing above U+10FFFF.
bool IsUtf8(const std::string& bytes);

/// `bytes` read as Windows-1252, in UTF-8. The five bytes that Windows-1252 leaves
/// undefined stand for the control characters of the same number.
std::string Windows1252ToUtf8(const std::string& bytes);

}  // namespace text
