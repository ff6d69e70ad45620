#include "export/gltf_export.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "export/builder.h"
#include "model/block.h"
#include "text/escape.h"

namespace kxm::gltf {

std::string_view nameOf(const char* name) {
  return {name, strnlen(name, kNameSize)};
}

std::string quoted(const char* name) {
  return quotedLabel(nameOf(name));
}

int Builder::addView(Piece piece, int target) {
  Json view = {{"buffer", 0}, {"byteOffset", doc_.binaryLength}, {"byteLength", piece.used()}};
  if (target != 0) view["target"] = target;
  doc_.binaryLength += piece.size();
  doc_.binary.push_back(std::move(piece));
  views_.push_back(std::move(view));
  return static_cast<int>(views_.size() - 1);
}

Document Builder::build() {
  addFrames();
  placeMeshes();
  addAnimations();
  if (meshes_.empty()) {
    warn(IssueCode::SceneEmpty, "the model has nothing to draw; the scene is empty");
  }

  // A skin's joints must share one root.
  if (!skins_.empty() && roots_.size() > 1) {
    nodes_.push_back({{"name", "Frames"}, {"children", roots_}});
    roots_ = {static_cast<int>(nodes_.size() - 1)};
  }
  roots_.insert(roots_.end(), skinNodes_.begin(), skinNodes_.end());

  Json& j = doc_.json;
  j["asset"] = {{"version", "2.0"}, {"generator", options_.generator}};
  j["scene"] = 0;
  Json scene = {{"name", "Scene"}};
  if (!roots_.empty()) scene["nodes"] = roots_;
  keepScene(scene);
  j["scenes"] = Json::array({std::move(scene)});
  auto put = [&j](const char* key, Json& list) {
    if (!list.empty()) j[key] = std::move(list);
  };
  put("nodes", nodes_);
  put("meshes", meshes_);
  put("materials", materials_);
  put("textures", textures_);
  put("images", images_);
  put("skins", skins_);
  put("animations", animations_);
  put("accessors", accessors_);
  put("bufferViews", views_);
  if (doc_.binaryLength > 0) j["buffers"] = Json::array({{{"byteLength", doc_.binaryLength}}});
  return std::move(doc_);
}

Piece::Piece(std::size_t used, const BlockSource& blocks) : size_((used + 3) / 4 * 4), used_(used) {
  // Zero-filled, so the padding is zero too.
  if (!block_.allocate(size_, blocks)) throw std::bad_alloc();
}

void Warnings::add(IssueCode code, std::string message) {
  if (kept_.size() < kKept) kept_.push_back({code, std::move(message), subject_});
  ++count_;
  ++bySeverity_[static_cast<std::size_t>(issueKind(code).severity)];
}

std::string nameToUtf8(const char* name) {
  return latin1ToUtf8(nameOf(name));
}

std::string uriOf(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (plain || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      uri += c;
    } else {
      uri += '%';
      uri += hex[byte >> 4];
      uri += hex[byte & 0xF];
    }
  }
  return uri;
}

Document buildDocument(const Model& model, const ExportOptions& options, Warnings& warnings) {
  return Builder(model, options, warnings).build();
}

}  // namespace kxm::gltf
