// Big blocks from huge pages where the system offers them (Linux), for kxm-dump and its
// benchmarks. Elsewhere this does nothing.
#pragma once

namespace kxm {

void useHugePageBlocks();

}  // namespace kxm
