// The core as the browser's worker calls it: the bytes of one file go in once, and each view
// of them (Show names, Show values) is a load through the one load entry point into a compact
// sink whose rows are flat arrays the page can take over whole. Labels come from the label rule
// (tree/labels.h), so they are byte for byte kxm-dump's. What kxm check finds and what the load
// explains are handed over as one JSON document; the model goes out as a GLB for the 3D view.
//
// One file at a time: the worker owns this module and asks in turn, so plain statics serve.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/texture_files.h"
#include "export/gltf_export.h"
#include "export/gltf_file.h"
#include "image/image.h"
#include "model/model.h"
#include "reader/findings.h"
#include "reader/issue_codes.h"
#include "reader/load.h"
#include "tree/labels.h"

namespace kxm::web {

namespace {

// Row kinds, as the page tells them apart for the hex pane.
enum RowKind : std::uint8_t { Root = 0, HeaderField = 1, Chunk = 2 };

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
    const bool frame = root == SinkRoot::Frames;
    return add(static_cast<SinkNode>(root) + 1, Chunk, head.offset, head.code, head.length,
               label.view(), frame);
  }
  SinkNode chunk(SinkNode parent, const ChunkHead& head, const ChunkValue& value) override {
    Label label;
    chunkLabel(label, options_, head, value);
    const bool frame =
        (head.code == kChildFrame || head.code == kSiblingFrame) && holdsFrames(parent);
    return add(parent, Chunk, head.offset, head.code, head.length, label.view(), frame);
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
    labelStarts[row] = static_cast<std::uint32_t>(labels.size());
    labelLengths[row] = static_cast<std::uint32_t>(label.view().size());
    labels.append(label.view());
  }

  std::vector<std::int32_t> parents;  // row index, -1 for a root
  std::vector<std::uint8_t> kinds;
  std::vector<std::uint32_t> offsets, codes, lengths, labelStarts, labelLengths;
  std::string labels;
  // The rows of frames, in the order the reader adds the frames to the model: frame k is the
  // export's node k.
  std::vector<std::size_t> frameRows;

 private:
  std::vector<std::uint8_t> isFrame;
  static constexpr std::uint32_t kChildFrame = 104, kSiblingFrame = 105;

  // A child or sibling frame is a frame where it stands under a frame or the Frames root.
  bool holdsFrames(SinkNode node) const {
    if (node == static_cast<SinkNode>(SinkRoot::Frames) + 1) return true;
    if (node == 0 || node > parents.size()) return false;
    const std::size_t row = node - 1;
    return isFrame[row] != 0;
  }

  SinkNode add(SinkNode parentNode, RowKind rowKind, std::uint32_t at, std::uint32_t chunkCode,
               std::uint32_t chunkLength, std::string_view label, bool frame = false) {
    if (frame) frameRows.push_back(parents.size());
    isFrame.push_back(frame ? 1 : 0);
    parents.push_back(static_cast<std::int32_t>(parentNode) - 1);
    kinds.push_back(rowKind);
    offsets.push_back(at);
    codes.push_back(chunkCode);
    lengths.push_back(chunkLength);
    labelStarts.push_back(static_cast<std::uint32_t>(labels.size()));
    labelLengths.push_back(static_cast<std::uint32_t>(label.size()));
    labels.append(label);
    return parents.size();
  }

  const DisplayOptions& options_;
};

// The rows in pre-order (a node, then its children in the order told), as the page shows and
// kxm-dump prints them, with each row's depth, parent and the row after its subtree.
struct View {
  std::vector<std::int32_t> parent;
  std::vector<std::uint32_t> depth, subtreeEnd, offset, code, length, labelStart, labelLength;
  std::vector<std::uint8_t> kind;
  std::string labels;
  std::vector<std::uint32_t> frameRows;  // frame k's row
};

void orderRows(CompactSink& sink, View& view) {
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
  view.parent.resize(n);
  view.depth.resize(n);
  view.subtreeEnd.resize(n);
  view.offset.resize(n);
  view.code.resize(n);
  view.length.resize(n);
  view.labelStart.resize(n);
  view.labelLength.resize(n);
  view.kind.resize(n);
  view.labels = std::move(sink.labels);
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
    view.offset[at] = sink.offsets[r];
    view.code[at] = sink.codes[r];
    view.length[at] = sink.lengths[r];
    view.labelStart[at] = sink.labelStarts[r];
    view.labelLength[at] = sink.labelLengths[r];
    view.kind[at] = sink.kinds[r];
    preorder[r] = at;
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

struct Listed {
  std::string code;
  bool error = false;
  bool hasOffset = true;
  std::uint32_t offset = 0;
  std::vector<ChunkRef> path;
  std::string message;
};

class Collector final : public LoadObserver {
 public:
  void onFinding(Finding finding) override {
    ++warnings;
    if (listed.size() >= kListedFindings) return;
    listed.push_back({std::string(issueName(finding.code)), false, true, finding.offset,
                      std::move(finding.path), std::move(finding.message)});
  }
  bool wantsDetail() const override { return listed.size() < kListedFindings; }

  std::vector<Listed> listed;
  std::uint64_t warnings = 0;
};

// Texture images from the files dropped with the model, which the worker puts in the in-memory
// file system in their folders: found by the rules kxm export follows on disk, and turned into
// PNG where glTF cannot take them as they are.
class DroppedImages final : public gltf::ImageResolver {
 public:
  explicit DroppedImages(std::filesystem::path folder) { folders_.model = std::move(folder); }

  std::vector<std::string> found;  // the files used, as named below the model's folder

  std::optional<gltf::ResolvedImage> resolve(std::string_view name, const std::string& what,
                                             gltf::Warnings& warnings) override {
    const TextureFile file = findTexture(folders_, name);
    if (file.match == TextureFile::Match::None) {
      warnings.add(IssueCode::TextureMissing, what + ": " + file.why + "; not referenced");
      return std::nullopt;
    }
    if (file.match == TextureFile::Match::OtherExtension) {
      warnings.add(IssueCode::TextureSubstituted,
                   what + ": not found; " + file.shown + " stands in");
    }
    std::vector<std::uint8_t> bytes;
    if (!read(file.path, bytes)) {
      warnings.add(IssueCode::TextureUnreadable,
                   what + ": " + file.shown + " cannot be read; not referenced");
      return std::nullopt;
    }
    image::Prepared prepared = image::prepareForGltf(bytes, file.path.filename().string());
    if (prepared.status != image::Status::Ok) {
      warnings.add(IssueCode::TextureUnreadable,
                   what + ": " + file.shown + ": " + prepared.detail + "; not referenced");
      return std::nullopt;
    }
    std::string fileName = file.path.filename().string();
    if (prepared.converted) {
      warnings.add(IssueCode::TextureConverted,
                   what + ": " + file.shown + " (" + prepared.detail + ") converted to PNG");
      fileName = file.path.stem().string() + ".png";
    }
    found.push_back(file.shown);
    return gltf::ResolvedImage{fileName, prepared.mimeType, std::move(prepared.bytes)};
  }

 private:
  static bool read(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::uint8_t buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
      bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
  }

  TextureFolders folders_;
};

std::vector<std::uint8_t> fileBytes;
View currentView;
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

// Room for the file's bytes, which the worker copies in before kxm_open.
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
  CompactSink sink(options);
  Collector collector;
  LoadOutcome outcome;
  Model model;
  {
    outcome = load(std::span<const std::uint8_t>(fileBytes), model, &sink,
                   check ? &collector : nullptr);
  }
  model.clearModel();
  currentView = View{};
  orderRows(sink, currentView);

  nlohmann::ordered_json out;
  out["outcome"] = outcome.loaded ? "loaded" : "failed";
  out["failure"] = outcome.loaded ? nlohmann::ordered_json(nullptr) : failureJson(outcome.failure);
  out["explanation"] = outcome.loaded ? "" : bytesAsText(describeFailure(outcome.failure));
  out["rows"] = currentView.parent.size();
  out["frameRows"] = currentView.frameRows;
  if (check) {
    std::vector<Listed> listed = std::move(collector.listed);
    std::uint64_t errors = 0;
    if (!outcome.loaded) {
      errors = 1;
      const LoadFailure& f = outcome.failure;
      listed.push_back({std::string(causeName(f.cause)), true, f.hasOffset, f.offset, f.path,
                        f.message});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
      return (a.hasOffset ? a.offset + 1ull : 0) < (b.hasOffset ? b.offset + 1ull : 0);
    });
    nlohmann::ordered_json findings;
    findings["numErrors"] = errors;
    findings["numWarnings"] = collector.warnings;
    findings["truncated"] = listed.size() < errors + collector.warnings;
    auto messages = nlohmann::ordered_json::array();
    for (const Listed& issue : listed) {
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

// The view's arrays, for the worker to copy out: 0 parent, 1 depth, 2 subtree end, 3 offset,
// 4 code, 5 length, 6 label start, 7 label length (32-bit each), 8 kind (bytes), 9 labels.
EMSCRIPTEN_KEEPALIVE const void* kxm_view_array(int which) {
  View& v = currentView;
  switch (which) {
    case 0: return v.parent.data();
    case 1: return v.depth.data();
    case 2: return v.subtreeEnd.data();
    case 3: return v.offset.data();
    case 4: return v.code.data();
    case 5: return v.length.data();
    case 6: return v.labelStart.data();
    case 7: return v.labelLength.data();
    case 8: return v.kind.data();
    case 9: return v.labels.data();
    default: return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_labels_size() {
  return static_cast<std::uint32_t>(currentView.labels.size());
}

// Lets the view's arrays go once the worker has copied them.
EMSCRIPTEN_KEEPALIVE void kxm_view_release() { currentView = View{}; }

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
  DroppedImages images{std::filesystem::path(folder)};
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
  out["images"] = ok ? images.found : std::vector<std::string>{};
  return remember(out);
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* kxm_glb_data() { return glb.data(); }
EMSCRIPTEN_KEEPALIVE std::uint32_t kxm_glb_size() { return static_cast<std::uint32_t>(glb.size()); }

}  // extern "C"
