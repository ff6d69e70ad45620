// Two files compared for the page, by the pairing kxm diff uses (tree/tree_diff.h): the
// differences listed as kxm diff --json lists them, each with where it lies in both files, and
// every pair of nodes by their offsets, so that the page can keep its two trees in step.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <nlohmann/json.hpp>

#include "tree/tree_diff.h"

namespace kxm::web {

// Compares `first` with `second`, listing at most `most` differences. Returns {differences:
// [{kind, path, text, from, to, a, b}], count, truncated, pairs}: `a` and `b` are null where a
// difference has no place in that file, else {offset} of its node (null for none) and {byte}
// where its bytes start elsewhere. `pairs` gets each pair of non-root nodes as the two offsets,
// sorted by the first file's, then again as (second, first) sorted by the second's.
nlohmann::ordered_json compareJson(std::span<const std::uint8_t> first,
                                   std::span<const std::uint8_t> second, const DiffOptions& options,
                                   std::uint64_t most, std::vector<std::uint32_t>& pairs);

}  // namespace kxm::web
