#pragma once
// The program's version: the report header and the CLI's --version show the same one.

namespace mv {

inline constexpr const char* kVersion = "1.01";

}  // namespace mv
