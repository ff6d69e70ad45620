// Big blocks from huge pages where the system offers them (Linux): what the command-line tools
// hand every load, tree and export. Elsewhere calloc and free.
#pragma once

#include "model/block.h"

namespace kxm {

const BlockSource& hugePageBlocks();

}  // namespace kxm
