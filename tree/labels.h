// How a chunk becomes a node label under the two display options: the one label rule, for every
// sink that shows nodes (the viewer's tree, kxm-dump, the browser's rows). A label is composed
// whole before its node goes in: one trip into the control per chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "reader/chunk_sink.h"

namespace kxm {

// The Show names and Show values check boxes as they stood at Load; only 1 is on.
struct DisplayOptions {
  std::int32_t ShowNamesOption = 1;
  std::int32_t ShowValuesOption = 1;

  bool showNames() const { return ShowNamesOption == 1; }
  bool showValues() const { return ShowValuesOption == 1; }
};

// A label put together piece by piece, as the formats "%s", "%d", "%08X" and "%f" would print
// the pieces. Labels are never cut: one that outgrows the inline buffer moves to the heap.
class Label {
 public:
  Label() = default;
  Label(const Label&) = delete;
  Label& operator=(const Label&) = delete;

  Label& add(std::string_view text);
  Label& add(const char* text) { return add(std::string_view(text)); }
  Label& add(char c) { return add(std::string_view(&c, 1)); }
  Label& addInt(std::int32_t value);    // %d
  Label& addHex8(std::uint32_t value);  // %08X
  Label& addFloat(double value);        // %f, with "nan", "-nan", "inf", "-inf"
  Label& addQuoted(std::string_view text) { return add('"').add(text).add('"'); }

  const char* c_str();
  std::string_view view() const;

 private:
  char inline_[256];
  std::size_t length_ = 0;
  std::string heap_;
  bool onHeap_ = false;
};

// A float printed as "%f" prints it widened to double, with NaN and the infinities spelled the
// same on every platform. Writes at most 400 characters and returns how many.
std::size_t formatFloat(double value, char* out, std::size_t capacity);

// The label rule, one function per kind of node; each appends the node's whole text.
// Header fields ("str_length: 8", "file_id: \"MAGICKXM\""), whatever the options.
void headerLabel(Label& label, const char* field, const ChunkValue& value);
// "Frame ROOT", "AnimationSet ROOT", custom data by its length ("chunk_length: 6").
void topLevelLabel(Label& label, SinkRoot root, const ChunkHead& head);
// A chunk: its catalogue name; with Show names a name chunk's string ("Frame Name: \"arm\""),
// with Show values a value chunk's values ("Mesh Vertex Count: 4", a turn in degrees, a vertex
// format as "00000152 (PNC1)").
void chunkLabel(Label& label, const DisplayOptions& options, const ChunkHead& head,
                const ChunkValue& value);
// END: with Show names "END Frame \"name\"" and the like (mesh: "END Mesh"); otherwise "END".
void endLabel(Label& label, const DisplayOptions& options, EndKind kind, const char* objectName);
// A frame's own node at the frame's END, with Show names: the holding chunk's name, a colon and
// the frame's name. False, with nothing appended, when the node keeps its text.
bool frameNodeLabel(Label& label, const DisplayOptions& options, std::uint32_t holder,
                    bool topLevel, const char* frameName);

}  // namespace kxm
