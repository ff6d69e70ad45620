// The walk of a diff: two trees paired from the roots down, as a person would pair them:
// frames, animation sets and animations by name, then by place; every other chunk by its code
// and its place among the chunks of that code. A chunk in one file only is one difference, and
// the chunks after it still meet their counterparts.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "format/chunk_catalogue.h"
#include "text/escape.h"
#include "text/format.h"
#include "tree/tree_diff.h"

namespace kxm {

namespace {

// The code of the links of a chain that `node` heads or is part of, or 0: a child frame's
// siblings hang under its node, and each animation of a set under the one before it.
std::uint32_t linkCodeOf(const DiffSide& side, NodeHandle node) {
  const NodeSource s = side.source(node);
  if (node == 0 || s.kind != NodeSource::Kind::Chunk) return 0;
  if (s.code == chunk::FrameChild) return chunk::FrameSibling;
  if (s.code == chunk::AnimationSetData || s.code == chunk::NextAnimation) {
    return chunk::NextAnimation;
  }
  return 0;
}

bool isLink(const DiffSide& side, NodeHandle node, std::uint32_t linkCode) {
  const NodeSource s = side.source(node);
  return linkCode != 0 && s.kind == NodeSource::Kind::Chunk && s.code == linkCode;
}

// The nodes that pair with the other side's at this level. The links of a chain are peers,
// however the tree nests them: each head is followed by its links in file order, and a link is
// no child of the node it hangs under.
std::vector<NodeHandle> childrenOf(DiffSide& side, NodeHandle node) {
  MemoryTreeControl& tree = side.tree;
  const std::uint32_t ownLinks = linkCodeOf(side, node);
  std::vector<NodeHandle> children;
  std::vector<NodeHandle> links;  // links still to visit, the next one last
  for (NodeHandle c = tree.firstChild(node); c != 0; c = tree.nextSibling(c)) {
    if (isLink(side, c, ownLinks)) continue;
    children.push_back(c);
    const std::uint32_t linkCode = linkCodeOf(side, c);
    if (linkCode == 0) continue;
    links.push_back(c);
    while (!links.empty()) {
      const NodeHandle link = links.back();
      links.pop_back();
      if (link != c) children.push_back(link);
      const std::size_t mark = links.size();
      for (NodeHandle l = tree.firstChild(link); l != 0; l = tree.nextSibling(l)) {
        if (isLink(side, l, linkCode)) links.push_back(l);
      }
      std::reverse(links.begin() + static_cast<std::ptrdiff_t>(mark), links.end());
    }
  }
  return children;
}

// What pairs a node with its counterpart: its kind and code (CHILD and SIBLING frames alike, the
// first animation of a chain and the next alike), and a frame's, set's or animation's name.
struct Key {
  NodeSource::Kind kind;
  std::uint32_t code;
  bool named;
  std::string_view name;
  bool operator<(const Key& o) const {
    return std::tie(kind, code, named, name) < std::tie(o.kind, o.code, o.named, o.name);
  }
  bool operator==(const Key& o) const {
    return kind == o.kind && code == o.code && named == o.named && name == o.name;
  }
};

Key keyOf(const DiffSide& side, NodeHandle node) {
  const NodeSource s = side.source(node);
  // Header fields and roots are told apart by their place alone.
  if (s.kind != NodeSource::Kind::Chunk) return {s.kind, 0, false, {}};
  Key key{s.kind, s.code, false, {}};
  if (s.code == chunk::FrameSibling) key.code = chunk::FrameChild;
  if (s.code == chunk::NextAnimation) key.code = chunk::AnimationSetData;
  if (const auto name = side.objectName(node)) key.named = true, key.name = *name;
  return key;
}

// "2 of 3": the node's place among its siblings of its kind (CHILD and SIBLING frames alike),
// where there are several; empty where it is the only one.
std::string placeAmong(DiffSide& side, NodeHandle node) {
  auto kind = [&](NodeHandle n) {
    const std::uint32_t code = side.source(n).code;
    return code == chunk::FrameSibling    ? chunk::FrameChild
           : code == chunk::NextAnimation ? chunk::AnimationSetData
                                          : code;
  };
  const std::uint32_t own = kind(node);
  std::size_t place = 0, count = 0;
  for (NodeHandle c = side.tree.firstChild(side.tree.parent(node)); c != 0;
       c = side.tree.nextSibling(c)) {
    if (kind(c) != own) continue;
    ++count;
    if (c == node) place = count;
  }
  if (count <= 1) return "";
  return std::string(" ")
      .append(std::to_string(place))
      .append(" of ")
      .append(std::to_string(count));
}

// An element of a path: a frame, set or animation by its name (by its place where it has none),
// a mesh by its frame's name and its place among that frame's meshes where there are several,
// any other node by its label.
void appendElement(std::string& path, DiffSide& side, NodeHandle node, bool names) {
  const NodeSource s = side.source(node);
  const NodeHandle parent = side.tree.parent(node);
  if (side.isNamedObject(node)) {
    const bool top = side.source(parent).kind == NodeSource::Kind::None;
    path += top ? topLevelNameOf(s.code) : chunkNameOf(s.code);
    const auto name = side.objectName(node);
    if (names && name) {
      path.append(": ").append(quotedLabel(*name));
    } else {
      path += placeAmong(side, node);
    }
    return;
  }
  if (s.kind == NodeSource::Kind::Chunk && s.code == chunk::FrameMesh &&
      side.isNamedObject(parent)) {
    path += chunkNameOf(s.code);
    const auto frame = side.objectName(parent);
    if (names && frame) path.append(" ").append(quotedLabel(*frame));
    path += placeAmong(side, node);
    return;
  }
  appendEscapedLabel(path, side.label(node));
}

}  // namespace

// The middle of a very deep path is left out, so that a difference costs what its depth costs,
// and no more than a few dozen elements.
std::string diffPath(DiffSide& side, NodeHandle node, bool names) {
  std::vector<NodeHandle> up;
  for (NodeHandle n = node; n != 0; n = side.tree.parent(n)) up.push_back(n);
  constexpr std::size_t kEnds = 6;
  std::string path;
  for (std::size_t i = up.size(); i-- > 0;) {
    const std::size_t depth = up.size() - 1 - i;
    if (up.size() > 2 * kEnds && depth >= kEnds && i >= kEnds) {
      if (depth == kEnds) {
        path.append(" > ... (").append(std::to_string(up.size() - 2 * kEnds)).append(" more)");
      }
      continue;
    }
    if (!path.empty()) path += " > ";
    appendElement(path, side, up[i], names);
  }
  return path;
}

namespace {

struct Pair {
  NodeHandle a, b;     // 0 on the side that lacks it
  bool moved = false;  // B has it before one that comes before it in A
};

class Walk {
 public:
  Walk(const DiffOptions& options, DiffSide& a, DiffSide& b, DiffReport& report)
      : options_(options), a_(a), b_(b), report_(report) {}

  void run() {
    std::vector<Pair> stack;
    pushChildren({0, 0}, stack);
    while (!stack.empty()) {
      const Pair pair = stack.back();
      stack.pop_back();
      if (pair.b == 0) {
        if (!pastFailure(a_, pair.a, b_))
          say(pair, pathOf(pair), "removed", "only in the first file");
      } else if (pair.a == 0) {
        if (!pastFailure(b_, pair.b, a_))
          say(pair, pathOf(pair), "added", "only in the second file");
      } else {
        report_.paired(pair.a, pair.b);
        if (pair.moved) say(pair, pathOf(pair), "moved", "in another place in the second file");
        compare(pair);
        pushChildren(pair, stack);
      }
    }
  }

 private:
  void compare(const Pair& pair);
  void pushChildren(const Pair& pair, std::vector<Pair>& stack);
  std::vector<Pair> pairRest(const std::vector<NodeHandle>& as, const std::vector<NodeHandle>& bs,
                             std::size_t from);

  std::function<std::string()> pathOf(const Pair& pair) {
    return [this, pair] {
      return pair.a != 0 ? diffPath(a_, pair.a, options_.showNames)
                         : diffPath(b_, pair.b, options_.showNames);
    };
  }
  // A value's path: its holder's, then the value's own name.
  std::function<std::string()> valuePath(NodeHandle a, std::string name) {
    return [this, a, name] {
      const NodeHandle parent = a_.tree.parent(a);
      return (parent != 0 ? diffPath(a_, parent, options_.showNames) + " > " : "") + name;
    };
  }
  // A difference of the pair that says `text`.
  void say(const Pair& pair, const std::function<std::string()>& path, const char* kind,
           std::string text) {
    if (!report_.listing()) return report_.skip();
    Difference difference{kind, path(), std::move(text), {}, {}, {pair.a, {}}, {pair.b, {}}};
    report_.add(difference);
  }
  // A difference of the pair's two values: "FROM -> TO".
  void sayValues(const Pair& pair, const std::function<std::string()>& path, const char* kind,
                 std::string from, std::string to) {
    if (!report_.listing()) return report_.skip();
    Difference difference{kind,          path(),       from + " -> " + to, std::move(from),
                          std::move(to), {pair.a, {}}, {pair.b, {}}};
    report_.add(difference);
  }

  // Whether a node the other side lacks lies where that side had already failed to load: its
  // failure says why it is missing, and one line says it for all of them.
  static bool pastFailure(const DiffSide& side, NodeHandle node, const DiffSide& other) {
    const NodeSource s = side.source(node);
    return other.failure && s.kind != NodeSource::Kind::None && s.offset >= other.failure.offset;
  }

  const DiffOptions& options_;
  DiffSide& a_;
  DiffSide& b_;
  DiffReport& report_;
};

// A value is one line with its two values; a frame, set or animation says no more than a change
// of kind (its name is its name chunk's line); a data chunk is compared element by element.
void Walk::compare(const Pair& pair) {
  const NodeSource sa = a_.source(pair.a), sb = b_.source(pair.b);
  const std::string_view la = a_.label(pair.a), lb = b_.label(pair.b);
  if (sa.kind == NodeSource::Kind::HeaderField) {
    if (la == lb) return;
    const std::size_t colon = la.find(": ");
    const std::string field(la.substr(0, colon));
    const std::size_t from = colon == std::string_view::npos ? 0 : colon + 2;
    sayValues(pair, valuePath(pair.a, field), "value", std::string(la.substr(from)),
              std::string(lb.substr(std::min(from, lb.size()))));
    return;
  }
  if (isValueChunk(a_, pair.a)) {
    if (sameValue(a_, pair.a, b_, pair.b, options_.epsilon)) return;
    sayValues(pair, valuePath(pair.a, chunkNameOf(sa.code)), "value",
              valueText(a_, pair.a).value_or(""), valueText(b_, pair.b).value_or(""));
    return;
  }
  if (a_.isNamedObject(pair.a)) {
    // CHILD or SIBLING, chain head or next link: how a chain is written, not what it holds.
    if (keyOf(a_, pair.a).code != keyOf(b_, pair.b).code) {
      sayValues(pair, pathOf(pair), "changed", chunkNameOf(sa.code), chunkNameOf(sb.code));
    }
    return;
  }
  if (sa.kind == NodeSource::Kind::Chunk && sa.code == chunk::End) return;  // says names
  if (a_.tree.firstChild(pair.a) == 0 && b_.tree.firstChild(pair.b) == 0) {
    const auto [pa, na] = a_.payload(pair.a);
    const auto [pb, nb] = b_.payload(pair.b);
    if (na != nb || (na != 0 && std::memcmp(pa, pb, na) != 0)) {
      compareElements(options_, a_, pair.a, b_, pair.b, pathOf(pair), report_);
    }
    return;
  }
  if (la != lb) sayValues(pair, pathOf(pair), "changed", quotedLabel(la), quotedLabel(lb));
}

// Siblings pair by place while their keys agree, which is all of them in a file and its copy;
// past the first disagreement, by key and occurrence.
void Walk::pushChildren(const Pair& pair, std::vector<Pair>& stack) {
  const std::vector<NodeHandle> as = childrenOf(a_, pair.a);
  const std::vector<NodeHandle> bs = childrenOf(b_, pair.b);
  std::size_t same = 0;
  while (same < as.size() && same < bs.size() && keyOf(a_, as[same]) == keyOf(b_, bs[same])) {
    ++same;
  }
  std::vector<Pair> pairs;
  pairs.reserve(std::max(as.size(), bs.size()));
  for (std::size_t i = 0; i < same; ++i) pairs.push_back({as[i], bs[i]});
  if (same < as.size() || same < bs.size()) {
    const std::vector<Pair> rest = pairRest(as, bs, same);
    pairs.insert(pairs.end(), rest.begin(), rest.end());
  }
  // Pushed last first, so that the differences come out in file order.
  stack.insert(stack.end(), pairs.rbegin(), pairs.rend());
}

// The siblings from `from` on: by key and occurrence (the first frame of a name with the first
// of that name); frames, sets and animations left over then by place among their kind; what is
// in B only goes where B has it.
std::vector<Pair> Walk::pairRest(const std::vector<NodeHandle>& as,
                                 const std::vector<NodeHandle>& bs, std::size_t from) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::map<std::pair<Key, std::size_t>, std::size_t> inB;  // (key, occurrence): place in B
  std::map<Key, std::size_t> seen;
  for (std::size_t j = from; j < bs.size(); ++j) {
    const Key key = keyOf(b_, bs[j]);
    inB.emplace(std::make_pair(key, seen[key]++), j);
  }
  std::vector<std::size_t> match(as.size(), kNone);
  std::vector<bool> taken(bs.size(), false), moved(as.size(), false);
  seen.clear();
  std::size_t furthest = 0;
  for (std::size_t i = from; i < as.size(); ++i) {
    const Key key = keyOf(a_, as[i]);
    const auto found = inB.find({key, seen[key]++});
    if (found == inB.end()) continue;
    match[i] = found->second, taken[found->second] = true;
    moved[i] = found->second < furthest;
    furthest = std::max(furthest, found->second);
  }
  std::map<std::pair<NodeSource::Kind, std::uint32_t>, std::deque<std::size_t>> leftB;
  for (std::size_t j = from; j < bs.size(); ++j) {
    if (taken[j] || !b_.isNamedObject(bs[j])) continue;
    const Key key = keyOf(b_, bs[j]);
    leftB[{key.kind, key.code}].push_back(j);
  }
  for (std::size_t i = from; i < as.size(); ++i) {
    if (match[i] != kNone || !a_.isNamedObject(as[i])) continue;
    const Key key = keyOf(a_, as[i]);
    auto& pool = leftB[{key.kind, key.code}];
    if (!pool.empty()) match[i] = pool.front(), taken[pool.front()] = true, pool.pop_front();
  }
  std::vector<Pair> pairs;
  std::size_t nextB = from;  // B's own are said before the first pair that comes after them
  for (std::size_t i = from; i < as.size(); ++i) {
    for (; match[i] != kNone && nextB < match[i]; ++nextB) {
      if (!taken[nextB]) pairs.push_back({0, bs[nextB]});
    }
    if (match[i] != kNone) nextB = std::max(nextB, match[i] + 1);
    pairs.push_back({as[i], match[i] == kNone ? 0 : bs[match[i]], moved[i]});
  }
  for (; nextB < bs.size(); ++nextB) {
    if (!taken[nextB]) pairs.push_back({0, bs[nextB]});
  }
  return pairs;
}

bool sameFailure(const LoadFailure& x, const LoadFailure& y) {
  return x.cause == y.cause && x.offset == y.offset && x.message == y.message;
}

// A failure as one difference: where, why, and in which chunks.
void reportFailure(bool first, const LoadFailure& failure, DiffReport& report) {
  std::string text = std::string("the ") + (first ? "first" : "second") +
                     " file fails to load at " + hex8(failure.offset) + ": " +
                     std::string(causeName(failure.cause));
  if (!failure.path.empty()) text += " in " + describePath(failure.path);
  Difference difference{"failed", "", text + ": " + failure.message, {}, {}, {}, {}};
  (first ? difference.a : difference.b).byte = failure.offset;
  report.add(difference);
}

}  // namespace

void diffFiles(const DiffOptions& options, DiffSide& a, DiffSide& b, DiffReport& report) {
  Walk(options, a, b, report).run();
  if (a.failure && b.failure && sameFailure(a.failure, b.failure)) return;
  if (a.failure) reportFailure(true, a.failure, report);
  if (b.failure) reportFailure(false, b.failure, report);
}

}  // namespace kxm
