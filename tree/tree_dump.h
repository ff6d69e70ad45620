// The tree as text, one line per node in pre-order: two spaces per depth, the label with its
// bytes escaped, a line feed. kxm-dump prints it; the tests compare it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "tree/tree_control.h"

namespace kxm {

// Visits every node below parent (0: the whole tree) in pre-order, each with its depth (the
// parent's children at 0), on an explicit stack; stops early when visit returns false.
bool visitPreOrder(TreeControl& control, NodeHandle parent,
                   const std::function<bool(NodeHandle node, std::size_t depth)>& visit);

// Appends a label with 0x20 to 0x7E as they are, a backslash doubled and every other byte as
// \xHH in lower-case hex.
void appendEscapedLabel(std::string& out, std::string_view label);
// A name as messages quote it: escaped as above, in double quotes.
std::string quotedLabel(std::string_view label);

// Walks every node of the control (top level first) and hands the text to sink in pieces of
// about 64 KiB; stops early and returns false when sink does.
bool dumpTree(TreeControl& control, const std::function<bool(std::string_view)>& sink);

std::string dumpTreeToString(TreeControl& control);

}  // namespace kxm
