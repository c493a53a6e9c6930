#pragma once
// Names as the program shows them to people: a file name may hold any byte but '/' and NUL, and
// control bytes sent to a terminal as they are move the cursor, recolour it or retitle its window.
#include <string>
#include <string_view>

namespace mv {

// `name` with its C0 control bytes and DEL written as escapes, as `ls -b` shows them: "\t", "\n",
// "\r", "\e" and "\xHH" for the others; a backslash becomes "\\", so that every text shown stands
// for one name only ("a\e" names either four characters or three, never both). Bytes from 0x80
// up are left as they are: UTF-8 names stay readable, and a terminal shows a stray byte as one
// unknown character.
std::string printableName(std::string_view name);

}  // namespace mv
