// Help texts that name containers are made from the container table, so that they name every
// container the commands read and nothing else.
#include "analysis/containers.h"
#include "commands.h"

namespace mvcli {

std::string containersHelp() {
  std::string text;
  for (const mv::Container& c : mv::containers()) {
    if (!text.empty()) text += ", ";
    text += std::string(c.name) + " (";
    for (size_t i = 0; i < c.suffixes.size(); ++i) {
      if (i) text += ' ';
      text += c.suffixes[i];
    }
    text += ')';
  }
  return text;
}

std::string mediaFileHelp() { return "Media file (" + mv::containerNames(", ") + ")"; }

}  // namespace mvcli
