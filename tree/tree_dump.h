// The tree as text, one line per node in pre-order: two spaces per depth, the label with its
// bytes escaped, a line feed. kxm-dump prints it; the tests compare it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "text/escape.h"
#include "tree/tree_control.h"

namespace kxm {

// Visits every node below parent (0: the whole tree) in pre-order, each with its depth (the
// parent's children at 0), on an explicit stack; stops early when visit returns false.
bool visitPreOrder(TreeControl& control, NodeHandle parent,
                   const std::function<bool(NodeHandle node, std::size_t depth)>& visit);

// Walks every node of the control (top level first) and hands the text to sink in pieces of
// about 64 KiB; stops early and returns false when sink does.
bool dumpTree(TreeControl& control, const std::function<bool(std::string_view)>& sink);

std::string dumpTreeToString(TreeControl& control);

}  // namespace kxm
