#pragma once
// The table of the containers the program reads. Every place that needs to tell containers
// apart (dispatch, file dialogs, information text, CLI, batch check) reads it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "media/container.h"

namespace mv {

std::span<const Container> containers();

// By the path's suffix: the whole text from the last '.' of the path, ASCII case-insensitive
// (".avi.bak" or ".rm " are not ours). Null when no container claims it.
const Container* containerOfPath(const std::string& path);
const Container* containerOfType(MediaType type);

// How much of a file's beginning containerOfContent() is shown.
inline constexpr size_t kContentHeadBytes = 64 * 1024;
// The first row, in table order, whose looksLike() claims these first bytes of a file; null
// when none does.
const Container* containerOfContent(const uint8_t* head, size_t n);
// containerOfContent() of the file's first bytes; null when none claims it or it cannot be read.
const Container* containerOfFileContent(const std::string& path);

// The open dialog's filter: "Supported Files" with every pattern, one entry per container,
// then "All Files".
std::string openFileFilter();

// The containers' display names in table order, joined by `separator`: "AVI, RealMedia, …";
// `zeroSecondsOnly` keeps those whose seconds without video the batch check looks for.
std::string containerNames(std::string_view separator, bool zeroSecondsOnly = false);

// "*.rm;*.rmvb": the batch search mask of one container family, and its part of the open
// dialog's patterns.
std::string searchMask(const Container& container);
// The open dialog's entry of one container family: "RM Files(*.RM)|*.rm;*.rmvb".
std::string fileFilter(const Container& container);

}  // namespace mv
