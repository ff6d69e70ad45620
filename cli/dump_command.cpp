#include "cli/dump_command.h"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "cli/data_emitters.h"
#include "cli/diagnostics.h"
#include "cli/huge_page_blocks.h"
#include "cli/json_writer.h"
#include "model/model.h"
#include "reader/file_image.h"
#include "reader/load.h"
#include "tree/chunk_tree.h"
#include "tree/memory_tree.h"
#include "tree/tree_dump.h"
#include "tree/tree_sink.h"

namespace kxm {

namespace {

// "00000120 0000001C " before a chunk's line, "00000004 -------- " before a header field's,
// "-------- -------- " before a root's: offset and length in hex, always 18 characters.
void appendOffsets(std::string& out, const NodeSource& source) {
  char text[24];
  switch (source.kind) {
    case NodeSource::Kind::Chunk:
      std::snprintf(text, sizeof text, "%08X %08X ", static_cast<unsigned>(source.offset),
                    static_cast<unsigned>(source.length));
      break;
    case NodeSource::Kind::HeaderField:
      std::snprintf(text, sizeof text, "%08X -------- ", static_cast<unsigned>(source.offset));
      break;
    case NodeSource::Kind::None: std::snprintf(text, sizeof text, "-------- -------- "); break;
  }
  out += text;
}

// The tree line by line, with offsets in front where asked, and with `file` each data chunk's
// values on lines one level deeper (under offsets, blank columns).
bool writeLinesText(MemoryTreeControl& control, bool offsets, std::span<const std::uint8_t> file,
                    bool data, Output& out) {
  std::string buffer;
  TextDataEmitter values(buffer, out);
  std::vector<VertexContext> formats(1);  // by depth: the vertex format of the open mesh
  bool written = true;
  visitPreOrder(control, 0, [&](NodeHandle node, std::size_t depth) {
    const NodeSource source = control.itemSource(node);
    if (offsets) appendOffsets(buffer, source);
    buffer.append(2 * depth, ' ');
    appendEscapedLabel(buffer, control.text(node));
    buffer += '\n';
    if (data) {
      formats.resize(depth + 2);
      formats[depth + 1] = {};
      noteVertexFormat(file, source, formats[depth]);
      values.setIndent((offsets ? 18 : 0) + 2 * depth + 2);
      writeChunkData(file, source, formats[depth], values);
    }
    if (buffer.size() >= 64 * 1024) {
      written = values.written() && out.write(buffer);
      buffer.clear();
    }
    return written && values.written();
  });
  return written && values.written() && out.write(buffer);
}

// The tree as nested nodes, pre-order on an explicit stack of open child lists.
void writeJsonTree(JsonWriter& json, MemoryTreeControl& control, std::span<const std::uint8_t> file,
                   bool data) {
  JsonDataEmitter values(json);
  std::vector<VertexContext> formats(1);  // by depth: the vertex format of the open mesh
  json.beginArray();
  std::vector<NodeHandle> next{control.firstChild(0)};
  while (!next.empty()) {
    const NodeHandle node = next.back();
    if (node == 0) {
      next.pop_back();
      json.endArray();
      if (!next.empty()) json.endObject();  // the node whose children these were
      continue;
    }
    next.back() = control.nextSibling(node);
    const NodeSource source = control.itemSource(node);
    json.beginObject();
    json.key("label").string(control.text(node));
    json.key("offset");
    if (source.kind == NodeSource::Kind::None) {
      json.null();
    } else {
      json.number(std::uint64_t{source.offset});
    }
    const bool chunk = source.kind == NodeSource::Kind::Chunk;
    json.key("code");
    chunk ? json.number(std::uint64_t{source.code}) : json.null();
    json.key("length");
    chunk ? json.number(std::uint64_t{source.length}) : json.null();
    if (data) {
      const std::size_t depth = next.size() - 1;
      formats.resize(depth + 2);
      formats[depth + 1] = {};
      noteVertexFormat(file, source, formats[depth]);
      writeChunkData(file, source, formats[depth], values);
    }
    json.key("children").beginArray();
    next.push_back(control.firstChild(node));
  }
}

}  // namespace

namespace {

// The load of the input; with `keep`, from an image of it that stays, whose bytes `file` is.
LoadOutcome loadKeeping(bool keep, const Input& input, Model& model, TreeSink& sink,
                        FileImage& image, std::span<const std::uint8_t>& file) {
  if (!keep || input.stdinUnreadable) {
    return loadInput(input, model, &sink, nullptr, hugePageBlocks());
  }
  if (input.bytes) {
    file = *input.bytes;
  } else {
    LoadOutcome failed;
    if (!image.read(input.path.c_str(), failed.failure, hugePageBlocks())) return failed;
    file = image.bytes();
  }
  return load(file, model, &sink, nullptr, std::nullopt, hugePageBlocks());
}

// As the Load command: a fresh tree with its four roots, then the load. The model goes with the
// load; the tree is what is printed. False in `written` when `out` failed.
LoadOutcome dumpTo(const DumpRequest& request, std::size_t index, const Input& input, Output& out,
                   bool& written) {
  DisplayOptions options;
  options.ShowNamesOption = request.showNames ? 1 : 0;
  options.ShowValuesOption = request.showValues ? 1 : 0;
  MemoryTreeControl control(request.json || request.offsets || request.data, hugePageBlocks());
  ChunkTree tree;
  tree.Attach(&control);
  TreeSink sink(tree, options);
  LoadOutcome outcome;
  // With --data the file's bytes outlive the load: the values are read from them.
  FileImage image;
  std::span<const std::uint8_t> file;
  {
    Model model;
    outcome = loadKeeping(request.data, input, model, sink, image, file);
  }
  if (request.quiet) {
    written = true;
    return outcome;
  }
  if (request.json) {
    JsonWriter json(out);
    json.beginObject();
    writeLoadHead(json, input.shown, outcome);
    json.key("options").beginObject();
    json.key("names").boolean(request.showNames);
    json.key("values").boolean(request.showValues);
    json.key("data").boolean(request.data);
    json.endObject();
    json.key("tree");
    writeJsonTree(json, control, file, request.data);
    json.endObject();
    written = json.finish();
    return outcome;
  }
  if (request.headed) out.write((index > 0 ? "\n==> " : "==> ") + input.shown + " <==\n");
  if (request.offsets || request.data) {
    written = writeLinesText(control, request.offsets, file, request.data, out);
  } else {
    written = dumpTree(control, [&out](std::string_view piece) { return out.write(piece); });
  }
  return outcome;
}

}  // namespace

int runDump(const char* program, const DumpRequest& request, std::FILE* out, std::FILE* err) {
  Input input;
  input.path = request.path;
  input.shown = request.path;
  Output stream(out);
  bool written = true;
  const LoadOutcome outcome = dumpTo(request, 0, input, stream, written);
  if (!written || std::fflush(out) != 0) {
    std::fprintf(err, "%s: cannot write the tree: %s\n", program, std::strerror(errno));
    return 1;
  }
  if (outcome.loaded) return 0;
  // The status line's text, then the explanation.
  const bool missing = std::string_view(outcomeName(outcome)) == "missing";
  std::fprintf(err, "%s: \"%s\"\n%s: %s: %s\n", missing ? "File doesn't exist" : "Error reading",
               request.path.c_str(), program, request.path.c_str(),
               describeFailure(outcome.failure).c_str());
  return 1;
}

Tally dumpFile(const DumpRequest& request, std::size_t index, const Input& input, Output& out,
               Output& err) {
  bool written = true;
  const LoadOutcome outcome = dumpTo(request, index, input, out, written);
  Tally tally;
  tally.files = 1;
  tally.loaded = outcome.loaded ? 1 : 0;
  tally.failed = outcome.loaded ? 0 : 1;
  tally.errors = tally.failed;
  tally.failedRun = !outcome.loaded || !written;
  if (!outcome.loaded) err.write(diagnosticLine(input.shown, issueOf(outcome.failure)));
  return tally;
}

}  // namespace kxm
