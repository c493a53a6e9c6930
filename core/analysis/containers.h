#pragma once
// The table of the containers the program reads. Every place that needs to tell containers
// apart (dispatch, file dialogs, information text, CLI, batch check) reads it.
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

// The open dialog's filter: "Supported Files" with every pattern, one entry per container,
// then "All Files".
std::string openFileFilter();

// The containers' display names in table order, joined by `separator`: "AVI, RealMedia, …";
// `zeroSecondsOnly` keeps those whose seconds without video the batch check looks for.
std::string containerNames(std::string_view separator, bool zeroSecondsOnly = false);

// "*.rm;*.rmvb": the batch search mask of one container family.
std::string searchMask(const Container& container);

}  // namespace mv
