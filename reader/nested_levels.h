// The explicit stack that frame and animation nesting live on. Each level stands for one
// walker call of the nested form: it reads chunks up to its `end`; a call nested in one of its
// chunks returns with the cursor anywhere, and the level goes on at that chunk's end
// (`nestedEnd`). The file sets no limit on the depth, so it is held in memory, not in calls.
#pragma once

#include <cstdint>
#include <vector>

namespace kxm {

// Once the call above the top level has returned: the top level goes on at the end of the chunk
// that held it, unless that is also its own end, and then it returns as well, and so on down.
// False when every level has returned.
template <class Level>
bool resumeAfterNested(std::vector<Level>& levels, std::uint32_t& position) {
  while (!levels.empty()) {
    position = levels.back().nestedEnd;
    if (position < levels.back().end) return true;
    levels.pop_back();
  }
  return false;
}

}  // namespace kxm
