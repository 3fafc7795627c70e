#pragma once

#include <string>
#include <string_view>

namespace pellandrix {

// `bytes` in Windows-1252 (the code page of the program's old databases)
// as UTF-8. Every byte maps to one character, as Windows maps it: 0x80 to
// 0x9F by the code page's table, the five bytes it leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) to the control characters of the same number,
// every other byte to the character of the same number. So no byte is lost,
// and the UTF-8 text converts back to the same bytes.
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace pellandrix
