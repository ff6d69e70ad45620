// The core as the browser's worker calls it: the bytes of one file go in once, and each view
// of them (Show names, Show values) is a load through the one load entry point into a compact
// sink whose rows are flat arrays the page can take over whole. Labels come from the label rule
// (tree/labels.h), so they are byte for byte kxm-dump's. What kxm check finds and what the load
// explains are handed over as one JSON document; the model goes out as a GLB for the 3D view.
//
// One file at a time: the worker owns this module and asks in turn, so plain statics serve.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "textures/folder_images.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "image/image.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/issue_codes.h"
#include "reader/load.h"
#include "reader/vertex_format.h"
#include "tree/labels.h"

namespace kxm::web {

namespace {

// Row kinds, as the page tells them apart for the hex pane.
enum RowKind : std::uint8_t { Root = 0, HeaderField = 1, Chunk = 2 };

// Label bytes in blocks of 1 MiB that never move. A pool that grew by copying would hold its
// old and new bytes at once at every growth, and the WebAssembly memory keeps that peak. A
// label starts at block * kBlock + its place in the block; no label is near a block's size.
class LabelPool {
 public:
  static constexpr std::uint32_t kBlock = 1u << 20;

  std::uint32_t append(std::string_view label) {
    if (blocks_.empty() || kBlock - used_.back() < label.size()) {
      blocks_.push_back(std::make_unique<char[]>(kBlock));
      used_.push_back(0);
    }
    const std::uint32_t at = used_.back();
    std::memcpy(blocks_.back().get() + at, label.data(), label.size());
    used_.back() += static_cast<std::uint32_t>(label.size());
    return static_cast<std::uint32_t>((blocks_.size() - 1) * kBlock) + at;
  }
  std::size_t blocks() const { return blocks_.size(); }
  const char* block(std::size_t i) const { return blocks_[i].get(); }
  std::uint32_t used(std::size_t i) const { return used_[i]; }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::vector<std::uint32_t> used_;
};

// The model record a row starts, so that a data chunk's values can be taken from the model
// the walk filled: frames, meshes (frame, mesh of the frame), animation sets and animations
// (set, animation of the set), counted as the walkers add them.
struct Record {
  enum Kind : std::uint8_t { None, Frame, Mesh, Set, Animation };
};

struct Records {
  std::vector<Record::Kind> kind;  // per row, in the order told
  std::vector<std::int32_t> index;
  std::vector<std::int32_t> frameMeshes;    // meshes so far, per frame
  std::vector<std::int32_t> setAnimations;  // animations so far, per set
  std::vector<std::pair<std::int32_t, std::int32_t>> meshes, animations;

  void set(std::size_t row, Record::Kind k, std::int32_t i) {
    kind[row] = k;
    index[row] = i;
  }
  Record::Kind kindOf(SinkNode node) const {
    return node == 0 || node > kind.size() ? Record::None : kind[node - 1];
  }
  std::int32_t indexOf(SinkNode node) const { return index[node - 1]; }
};

// Rows in the order the reader told them; the parent of a row is its index plus one as a
// SinkNode (0: none), the four roots first.
class CompactSink final : public ChunkSink {
 public:
  explicit CompactSink(const DisplayOptions& options) : options_(options) {
    for (const char* root : {"FileHeader", "Frames", "AnimationSets", "CustomData"}) {
      add(0, Root, 0, 0, 0, root);
    }
  }

  void headerField(std::uint32_t offset, const char* field, const ChunkValue& value) override {
    Label label;
    headerLabel(label, field, value);
    // A header field's bytes: the file id's characters, any other field's four.
    const auto bytes = value.kind == ChunkValue::Kind::Name
                           ? static_cast<std::uint32_t>(std::strlen(value.text))
                           : std::uint32_t{4};
    add(1, HeaderField, offset, 0, bytes, label.view());
  }
  SinkNode topLevelChunk(SinkRoot root, const ChunkHead& head) override {
    Label label;
    topLevelLabel(label, root, head);
    const SinkNode node = add(static_cast<SinkNode>(root) + 1, Chunk, head.offset, head.code,
                              head.length, label.view());
    if (root == SinkRoot::Frames) addFrame(node);
    if (root == SinkRoot::AnimationSets) {
      records.set(node - 1, Record::Set, static_cast<std::int32_t>(records.setAnimations.size()));
      records.setAnimations.push_back(0);
    }
    return node;
  }
  SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) override {
    Label label;
    chunkLabel(label, options_, head, value);
    const SinkNode node = add(parent, Chunk, head.offset, head.code, head.length, label.view());
    // Which record of the model the chunk starts, as the walkers add them: a frame where a
    // frame or the Frames root holds it, a mesh in a frame, an animation in a set or after
    // another animation.
    const Record::Kind holder = parent == static_cast<SinkNode>(SinkRoot::Frames) + 1
                                    ? Record::Frame
                                    : records.kindOf(parent);
    if ((head.code == kChildFrame || head.code == kSiblingFrame) && holder == Record::Frame) {
      addFrame(node);
    } else if (head.code == kFrameMesh && holder == Record::Frame) {
      const auto frame = static_cast<std::size_t>(records.indexOf(parent));
      const std::int32_t mesh = records.frameMeshes[frame]++;
      records.set(node - 1, Record::Mesh, static_cast<std::int32_t>(records.meshes.size()));
      records.meshes.push_back({static_cast<std::int32_t>(frame), mesh});
    } else if ((head.code == kFirstAnimation && holder == Record::Set) ||
               (head.code == kNextAnimation && holder == Record::Animation)) {
      const std::int32_t set = holder == Record::Set
                                   ? records.indexOf(parent)
                                   : records.animations[static_cast<std::size_t>(
                                         records.indexOf(parent))].first;
      const std::int32_t animation = records.setAnimations[static_cast<std::size_t>(set)]++;
      records.set(node - 1, Record::Animation,
                  static_cast<std::int32_t>(records.animations.size()));
      records.animations.push_back({set, animation});
    }
    return node;
  }
  void end(SinkNode parent, const ChunkHead& head, EndKind endKind,
           const char* objectName) override {
    Label label;
    endLabel(label, options_, endKind, objectName);
    add(parent, Chunk, head.offset, head.code, head.length, label.view());
  }
  void frameNamed(SinkNode frameNode, std::uint32_t holder, bool topLevel,
                  const char* frameName) override {
    Label label;
    if (frameNode == 0 || !frameNodeLabel(label, options_, holder, topLevel, frameName)) return;
    // The old text stays in the pool unused: a frame is relabelled once.
    const std::size_t row = frameNode - 1;
    labelStarts[row] = labels.append(label.view());
    labelLengths[row] = static_cast<std::uint32_t>(label.view().size());
  }

  std::vector<std::int32_t> parents;  // row index, -1 for a root
  std::vector<std::uint8_t> kinds;
  std::vector<std::uint32_t> offsets, codes, lengths, labelStarts, labelLengths;
  LabelPool labels;
  // The rows of frames, in the order the reader adds the frames to the model: frame k is the
  // export's node k.
  std::vector<std::size_t> frameRows;
  Records records;

 private:
  static constexpr std::uint32_t kFrameMesh = 103, kChildFrame = 104, kSiblingFrame = 105,
                                 kFirstAnimation = 203, kNextAnimation = 220;

  void addFrame(SinkNode node) {
    records.set(node - 1, Record::Frame, static_cast<std::int32_t>(frameRows.size()));
    frameRows.push_back(node - 1);
    records.frameMeshes.push_back(0);
  }

  SinkNode add(SinkNode parentNode, RowKind rowKind, std::uint32_t at, std::uint32_t chunkCode,
               std::uint32_t chunkLength, std::string_view label) {
    records.kind.push_back(Record::None);
    records.index.push_back(-1);
    parents.push_back(static_cast<std::int32_t>(parentNode) - 1);
    kinds.push_back(rowKind);
    offsets.push_back(at);
    codes.push_back(chunkCode);
    lengths.push_back(chunkLength);
    labelStarts.push_back(labels.append(label));
    labelLengths.push_back(static_cast<std::uint32_t>(label.size()));
    return parents.size();
  }

  DisplayOptions options_;
};

// The rows in pre-order (a node, then its children in the order told), as the page shows and
// kxm-dump prints them, with each row's depth, parent and the row after its subtree.
// The other columns stay in the sink, in the order told: the worker gathers them by `told`
// straight into the page's arrays, so they are not copied twice here.
struct View {
  std::vector<std::int32_t> parent;
  std::vector<std::uint32_t> depth, subtreeEnd;
  std::vector<std::uint32_t> frameRows;  // frame k's row
  std::vector<std::uint32_t> told;       // each row's place in the order told
};

void orderRows(const CompactSink& sink, View& view) {
  const std::size_t n = sink.parents.size();
  std::vector<std::int32_t> firstChild(n, -1), lastChild(n, -1), nextSibling(n, -1);
  for (std::size_t i = 4; i < n; ++i) {
    const std::int32_t p = sink.parents[i];
    if (p < 0) continue;
    const auto up = static_cast<std::size_t>(p);
    if (lastChild[up] < 0) {
      firstChild[up] = static_cast<std::int32_t>(i);
    } else {
      nextSibling[static_cast<std::size_t>(lastChild[up])] = static_cast<std::int32_t>(i);
    }
    lastChild[up] = static_cast<std::int32_t>(i);
  }
  for (std::size_t root = 0; root + 1 < 4; ++root) {
    nextSibling[root] = static_cast<std::int32_t>(root + 1);
  }
  lastChild = {};
  view.parent.resize(n);
  view.depth.resize(n);
  view.subtreeEnd.resize(n);
  view.told.resize(n);
  // An explicit stack of open nodes (their pre-order index); nesting of any depth.
  struct Open {
    std::int32_t row;
    std::uint32_t at;
  };
  std::vector<Open> open;
  std::vector<std::uint32_t> preorder(n);
  std::uint32_t next = 0;
  std::int32_t row = 0;
  while (row >= 0 || !open.empty()) {
    if (row < 0) {
      const Open done = open.back();
      open.pop_back();
      view.subtreeEnd[done.at] = next;
      row = nextSibling[static_cast<std::size_t>(done.row)];
      continue;
    }
    const auto r = static_cast<std::size_t>(row);
    const std::uint32_t at = next++;
    view.parent[at] = open.empty() ? -1 : static_cast<std::int32_t>(open.back().at);
    view.depth[at] = static_cast<std::uint32_t>(open.size());
    preorder[r] = at;
    view.told[at] = static_cast<std::uint32_t>(r);
    open.push_back({row, at});
    row = firstChild[r];
  }
  for (const std::size_t frameRow : sink.frameRows) view.frameRows.push_back(preorder[frameRow]);
}

// Bytes as JSON text: each byte the code point of its value, as kxm dump --json gives names.
// (gltf::nameToUtf8 does the same for names, which it holds to a name's 127 bytes.)
std::string bytesAsText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

nlohmann::ordered_json chunkJson(const ChunkRef& ref) {
  nlohmann::ordered_json out;
  out["offset"] = ref.offset;
  out["code"] = ref.code;
  out["name"] = bytesAsText(ref.name);
  if (ref.hasObjectName) out["objectName"] = bytesAsText(ref.objectName);
  return out;
}

nlohmann::ordered_json pathJson(const std::vector<ChunkRef>& path) {
  auto out = nlohmann::ordered_json::array();
  for (const ChunkRef& ref : path) out.push_back(chunkJson(ref));
  return out;
}

// As kxm dump --json writes a failure.
nlohmann::ordered_json failureJson(const LoadFailure& failure) {
  nlohmann::ordered_json out;
  out["cause"] = std::string(causeName(failure.cause));
  out["offset"] = failure.hasOffset ? nlohmann::ordered_json(failure.offset) : nullptr;
  out["message"] = bytesAsText(failure.message);
  out["chunk"] = failure.chunk() ? chunkJson(*failure.chunk()) : nlohmann::ordered_json(nullptr);
  out["path"] = pathJson(failure.path);
  return out;
}

// kxm check's findings: every one counted, the first ones (up to its default cap) listed.
constexpr std::size_t kListedFindings = 100;

std::vector<std::uint8_t> fileBytes;
std::unique_ptr<CompactSink> currentSink;
View currentView;
// What the values of a row are taken from: the model of the last load, which record each row
// starts, and each row's parent and place in the order told.
Model currentModel;
Records currentRecords;
std::vector<std::int32_t> rowParent;
std::vector<std::uint32_t> rowTold, rowCode;
std::vector<double> values;
std::string resultText;
std::vector<std::uint8_t> glb;

const char* remember(const nlohmann::ordered_json& json) {
  resultText = json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return resultText.c_str();
}

}  // namespace

}  // namespace kxm::web

using namespace kxm;
using namespace kxm::web;

extern "C" {

// Room for the file's bytes, which the worker copies in before the first kxm_view.
EMSCRIPTEN_KEEPALIVE std::uint8_t* kxm_file_buffer(std::uint32_t size) {
  fileBytes.assign(size, 0);
  return fileBytes.data();
}

// Loads the bytes under the options into the view's rows. With `check`, also what kxm check
// finds. Returns the outcome as JSON: {outcome, failure, explanation, rows, findings?}.
EMSCRIPTEN_KEEPALIVE const char* kxm_view(int showNames, int showValues, int check) {
  DisplayOptions options;
  options.ShowNamesOption = showNames == 1 ? 1 : 0;
  options.ShowValuesOption = showValues == 1 ? 1 : 0;
  // What the last view left goes before this one is made: memory the module has grown to is
  // never given back, so the peak of one load is what the worker keeps.
  currentSink.reset();
  currentView = View{};
  rowParent = {};
  rowTold = {};
  rowCode = {};
  values = {};
  currentSink = std::make_unique<CompactSink>(options);
  CompactSink& sink = *currentSink;
  IssueList issues(kListedFindings);
  const LoadOutcome outcome = load(std::span<const std::uint8_t>(fileBytes), currentModel, &sink,
                                   check ? &issues : nullptr);
  currentRecords = std::move(sink.records);
  orderRows(sink, currentView);

  nlohmann::ordered_json out;
  out["outcome"] = outcome.loaded ? "loaded" : "failed";
  out["failure"] = outcome.loaded ? nlohmann::ordered_json(nullptr) : failureJson(outcome.failure);
  out["explanation"] = outcome.loaded ? "" : bytesAsText(describeFailure(outcome.failure));
  out["rows"] = currentView.parent.size();
  out["frameRows"] = currentView.frameRows;
  if (check) {
    issues.finish(outcome.failure);
    nlohmann::ordered_json findings;
    findings["numErrors"] = issues.errors;
    findings["numWarnings"] = issues.warnings;
    findings["truncated"] = issues.truncated();
    auto messages = nlohmann::ordered_json::array();
    for (const ListedIssue& issue : issues.listed) {
      nlohmann::ordered_json m;
      m["code"] = issue.code;
      m["severity"] = issue.error ? "error" : "warning";
      m["offset"] = issue.hasOffset ? nlohmann::ordered_json(issue.offset) : nullptr;
      m["chunk"] = issue.path.empty() ? nlohmann::ordered_json(nullptr) : chunkJson(issue.path.back());
      m["path"] = pathJson(issue.path);
      m["message"] = bytesAsText(issue.message);
      messages.push_back(std::move(m));
    }
    findings["messages"] = std::move(messages);
    out["findings"] = std::move(findings);
  }
  return remember(out);
}

// The view's arrays, for the worker to copy out: in pre-order 0 parent, 1 depth, 2 subtree
// end, 3 each row's place in the order told; in the order told 4 offset, 5 code, 6 length,
// 7 label start, 8 label length (32-bit each), 9 kind (bytes). The labels by kxm_label_block.
EMSCRIPTEN_KEEPALIVE const void* kxm_view_array(int which) {
  View& v = currentView;
  if (!currentSink) return nullptr;
  CompactSink& s = *currentSink;
  switch (which) {
    case 0: return v.parent.data();
    case 1: return v.depth.data();
    case 2: return v.subtreeEnd.data();
    case 3: return v.told.data();
    case 4: return s.offsets.data();
    case 5: return s.codes.data();
    case 6: return s.lengths.data();
    case 7: return s.labelStarts.data();
    case 8: return s.labelLengths.data();
    case 9: return s.kinds.data();
    default: return nullptr;
  }
}

// The label blocks: how many, where block i is and how many of its bytes hold labels.
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_blocks() {
  return currentSink ? static_cast<std::uint32_t>(currentSink->labels.blocks()) : 0;
}
EMSCRIPTEN_KEEPALIVE const char* kxm_label_block(std::uint32_t i) {
  return currentSink->labels.block(i);
}
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_label_block_used(std::uint32_t i) {
  return currentSink->labels.used(i);
}

// Lets the view's arrays go once the worker has copied them; what values need stays.
EMSCRIPTEN_KEEPALIVE void kxm_view_release() {
  rowParent = std::move(currentView.parent);
  rowTold = std::move(currentView.told);
  if (currentSink) rowCode = std::move(currentSink->codes);  // in the order told
  currentSink.reset();
  currentView = View{};
}

// The values a data chunk holds, as the walk read them into the model: a mesh's vertices
// (position, colour, texture sets) or indices, a frame's matrix, a material, an animation's
// keys. Returns {title, columns, rowLabels, count} and the numbers, row after row, by
// kxm_values_data; {count: 0} for a row that holds none.
EMSCRIPTEN_KEEPALIVE const char* kxm_values(std::uint32_t row) {
  values.clear();
  nlohmann::ordered_json out;
  out["count"] = 0;
  if (row >= rowParent.size() || rowParent[row] < 0 || rowTold[row] >= rowCode.size()) {
    return remember(out);
  }
  const std::size_t parentTold = rowTold[static_cast<std::size_t>(rowParent[row])];
  const Record::Kind holder = currentRecords.kind[parentTold];
  const std::int32_t holderIndex = currentRecords.index[parentTold];
  const std::uint32_t chunkCode = rowCode[rowTold[row]];
  std::vector<std::string> columns;
  std::vector<std::string> rowLabels;
  auto push = [](std::initializer_list<double> numbers) {
    values.insert(values.end(), numbers.begin(), numbers.end());
  };
  const Frame* frame = nullptr;
  const Mesh* mesh = nullptr;
  const Animation* animation = nullptr;
  if (holder == Record::Frame && static_cast<std::size_t>(holderIndex) < currentModel.frames.count()) {
    frame = &currentModel.frames[static_cast<std::size_t>(holderIndex)];
  }
  if (holder == Record::Mesh) {
    const auto [f, m] = currentRecords.meshes[static_cast<std::size_t>(holderIndex)];
    if (static_cast<std::size_t>(f) < currentModel.frames.count() &&
        static_cast<std::size_t>(m) < currentModel.frames[static_cast<std::size_t>(f)].meshes.count()) {
      mesh = &currentModel.frames[static_cast<std::size_t>(f)].meshes[static_cast<std::size_t>(m)];
    }
  }
  if (holder == Record::Animation) {
    const auto [set, a] = currentRecords.animations[static_cast<std::size_t>(holderIndex)];
    if (static_cast<std::size_t>(set) < currentModel.animationSets.count()) {
      const AnimationSet& s = currentModel.animationSets[static_cast<std::size_t>(set)];
      if (static_cast<std::size_t>(a) < s.animations.count()) {
        animation = &s.animations[static_cast<std::size_t>(a)];
      }
    }
  }
  std::string title;
  if (frame && chunkCode == 102) {
    title = "Frame matrix";
    columns = {"1", "2", "3", "4"};
    rowLabels = {"row 1", "row 2", "row 3", "row 4"};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) values.push_back(frame->matrix[4 * r + c]);
    }
  } else if (mesh && chunkCode == 115) {
    title = "Vertices";
    const bool colour = (mesh->fvfFlags & kFvfDiffuse) != 0;
    const std::uint32_t sets = std::min<std::uint32_t>(fvfTexCoordSets(mesh->fvfFlags), 2);
    columns = {"x", "y", "z"};
    if (colour) columns.insert(columns.end(), {"r", "g", "b", "a"});
    if (sets >= 1) columns.insert(columns.end(), {"u0", "v0"});
    if (sets >= 2) columns.insert(columns.end(), {"u1", "v1"});
    for (const MeshVertex& v : mesh->vertices) {
      push({v.position[0], v.position[1], v.position[2]});
      if (colour) push({v.diffuse[0], v.diffuse[1], v.diffuse[2], v.diffuse[3]});
      if (sets >= 1) push({v.texCoord0[0], v.texCoord0[1]});
      if (sets >= 2) push({v.texCoord1[0], v.texCoord1[1]});
    }
  } else if (mesh && chunkCode == 116) {
    title = "Indices";
    columns = {"index"};
    for (const std::uint32_t i : mesh->indices) values.push_back(i);
  } else if (mesh && chunkCode == 126) {
    title = "Material";
    columns = {"r", "g", "b", "a"};
    rowLabels = {"diffuse", "ambient", "specular", "emissive", "power"};
    const Material& m = mesh->material;
    for (const float* colour : {m.diffuse, m.ambient, m.specular, m.emissive}) {
      push({colour[0], colour[1], colour[2], colour[3]});
    }
    push({m.power, NAN, NAN, NAN});
  } else if (animation && chunkCode == 213) {
    title = "Position keys";
    columns = {"time", "x", "y", "z"};
    for (const PositionKey& k : animation->positionKeys) push({k.time, k.value[0], k.value[1], k.value[2]});
  } else if (animation && chunkCode == 215) {
    title = "Rotation keys";
    columns = {"time", "x", "y", "z", "w"};
    for (const RotationKey& k : animation->rotationKeys) {
      push({k.time, k.value[0], k.value[1], k.value[2], k.value[3]});
    }
  } else if (animation && chunkCode == 217) {
    title = "Scale keys";
    columns = {"time", "x", "y", "z"};
    for (const ScaleKey& k : animation->scaleKeys) push({k.time, k.value[0], k.value[1], k.value[2]});
  } else if (animation && chunkCode == 219) {
    title = "Matrix keys";
    columns = {"time"};
    for (int i = 1; i <= 16; ++i) columns.push_back("m" + std::to_string(i));
    for (const MatrixKey& k : animation->matrixKeys) {
      values.push_back(k.time);
      values.insert(values.end(), std::begin(k.matrix), std::end(k.matrix));
    }
  } else {
    return remember(out);
  }
  out["title"] = title;
  out["columns"] = columns;
  out["rowLabels"] = rowLabels;
  out["count"] = columns.empty() ? 0 : values.size() / columns.size();
  return remember(out);
}

EMSCRIPTEN_KEEPALIVE const double* kxm_values_data() { return values.data(); }

// The model as a GLB with its images inside, the images found among the files in `folder`
// (where the worker put the files that came with the model). Returns {ok, error, warnings};
// the bytes by kxm_glb_data and kxm_glb_size.
EMSCRIPTEN_KEEPALIVE const char* kxm_export(const char* folder) {
  nlohmann::ordered_json out;
  glb.clear();
  Model model;
  const LoadOutcome outcome = load(std::span<const std::uint8_t>(fileBytes), model);
  if (!outcome.loaded) {
    out["ok"] = false;
    out["error"] = bytesAsText(describeFailure(outcome.failure));
    return remember(out);
  }
  // Found among the dropped files, which the worker put in the in-memory file system.
  FolderImages images(TextureFolders{std::filesystem::path(folder), {}});
  gltf::ExportOptions options;
  options.images = &images;
  gltf::Warnings warnings;
  std::string error;
  bool ok = false;
  try {
    gltf::Document doc = gltf::buildDocument(model, options, warnings);
    ok = gltf::glbBytes(doc, glb, error);
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  }
  out["ok"] = ok;
  out["error"] = error;
  auto kept = nlohmann::ordered_json::array();
  for (const gltf::Warnings::Warning& w : warnings.kept()) {
    kept.push_back(bytesAsText(w.message) + " [" + std::string(issueName(w.code)) + "]");
  }
  out["warnings"] = std::move(kept);
  // The images the GLB holds, for the page to say which textures it drew.
  out["images"] = ok ? images.found() : std::vector<std::string>{};
  return remember(out);
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* kxm_glb_data() { return glb.data(); }
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_glb_size() { return static_cast<std::uint32_t>(glb.size()); }

}  // extern "C"
