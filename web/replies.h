// What the core tells the worker, as JSON: a failure and kxm check's findings as kxm dump
// --json and kxm check --json write them, a data chunk's values, and the model as a GLB.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/model.h"
#include "reader/findings.h"
#include "reader/load.h"
#include "reader/load_failure.h"
#include "text/escape.h"
#include "web/compact_tree.h"

namespace kxm::web {

// Bytes as JSON text: each byte the code point of its value, as kxm dump --json gives names.
inline std::string bytesAsText(std::string_view bytes) {
  return latin1ToUtf8(bytes);
}

// As kxm dump --json writes a failure (reader/load_failure.h), for the worker's JSON.
nlohmann::ordered_json failureJson(const LoadFailure& failure);

// kxm check's findings, once the list is finished: the counts and the messages listed.
nlohmann::ordered_json findingsJson(const IssueList& issues);

// The values of the data chunk at `chunkOffset` of `file` (its head at least inside it) in the
// record its parent chunk starts, taken from the model the same load filled, and a mesh's
// normals from the file. The numbers go into `values`, row after row; returns {count, title,
// columns, rowLabels}, or {count: 0} when it holds none.
nlohmann::ordered_json valuesJson(const Model& model, const Records& records, const Record& parent,
                                  std::span<const std::uint8_t> file, std::uint32_t chunkOffset,
                                  std::vector<double>& values);

// The model in `bytes` as a GLB into `glb`, with the images found among the files in `folder`,
// then in `textureFolders`. Returns {ok, error, warnings, warningChunks, images}, or {ok: false,
// error} when the load fails: each warning's chunk is the offset of the chunk that starts the
// record it is about, by `records` (a view's load of the same bytes), or null.
nlohmann::ordered_json exportJson(std::span<const std::uint8_t> bytes, const char* folder,
                                  const std::vector<std::string>& textureFolders,
                                  const Records& records, std::vector<std::uint8_t>& glb);

}  // namespace kxm::web
