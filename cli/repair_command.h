// kxm repair: the part of a broken file that loaded whole, written again as a file that checks
// clean, with a warning for each thing left out or changed.
#pragma once

#include <filesystem>

#include "cli/output.h"

namespace kxm {

// 0 when OUT was written or there was nothing to repair, 1 when nothing could be written, 2 when
// OUT is IN.
int repairFile(const std::filesystem::path& in, const std::filesystem::path& out, bool quiet,
               Output& outStream, Output& err);

}  // namespace kxm
