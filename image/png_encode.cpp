// Pixels to PNG, written here: rows filtered with Paeth, a zlib stream of our own, the chunks.
//
// stb_image_write was the first choice, but its deflate at its fastest takes 0.5 to 1 s for a
// 2048 x 2048 RGBA texture on our machines, over the 0.3 s a conversion may take
// (bench/image_bench.cpp), and its copies between buffers cost as much again. Ours is the
// classic fast kind: one hash candidate per position, greedy matches, a Huffman code built for
// each block of symbols; it writes straight into the file's bytes. Its input is our own
// filtered pixels, never a file's bytes.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "image/dds.h"
#include "image/image.h"

namespace kxm::image {

namespace {

// ---- Deflate (RFC 1951) in a zlib wrapper (RFC 1950) ----

constexpr std::uint32_t kWindow = 32768;
constexpr std::uint32_t kMinMatch = 4;  // what the hash looks at
constexpr std::uint32_t kMaxMatch = 258;
constexpr unsigned kHashBits = 15;              // at most: the table has 2^15 entries
constexpr std::size_t kBlockSymbols = 1 << 16;  // symbols per block, each block its own code
constexpr std::size_t kMaxStep = 16;            // literals taken unsearched in a row, at most

constexpr unsigned kLitLenCodes = 286, kDistCodes = 30, kLengthCodes = 19;
constexpr unsigned kEndOfBlock = 256;

struct CodeRange {
  std::uint16_t base;
  std::uint8_t extraBits;
};
constexpr std::array<CodeRange, 29> kLengths = {
    {{3, 0},  {4, 0},  {5, 0},  {6, 0},   {7, 0},   {8, 0},   {9, 0},   {10, 0},  {11, 1}, {13, 1},
     {15, 1}, {17, 1}, {19, 2}, {23, 2},  {27, 2},  {31, 2},  {35, 3},  {43, 3},  {51, 3}, {59, 3},
     {67, 4}, {83, 4}, {99, 4}, {115, 4}, {131, 5}, {163, 5}, {195, 5}, {227, 5}, {258, 0}}};
constexpr std::array<CodeRange, 30> kDistances = {
    {{1, 0},     {2, 0},     {3, 0},     {4, 0},      {5, 1},      {7, 1},
     {9, 2},     {13, 2},    {17, 3},    {25, 3},     {33, 4},     {49, 4},
     {65, 5},    {97, 5},    {129, 6},   {193, 6},    {257, 7},    {385, 7},
     {513, 8},   {769, 8},   {1025, 9},  {1537, 9},   {2049, 10},  {3073, 10},
     {4097, 11}, {6145, 11}, {8193, 12}, {12289, 12}, {16385, 13}, {24577, 13}}};
// The order in which the code-length code's lengths are stored.
constexpr std::array<std::uint8_t, kLengthCodes> kLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

// Which code of `ranges` holds `value` (ranges ascend by base).
template <std::size_t N>
unsigned codeFor(const std::array<CodeRange, N>& ranges, std::uint32_t value) {
  const auto above =
      std::upper_bound(ranges.begin(), ranges.end(), value,
                       [](std::uint32_t v, const CodeRange& r) { return v < r.base; });
  return static_cast<unsigned>(above - ranges.begin()) - 1;
}

// Lookups for every match length and for the distances up to 512, the common ones.
struct Tables {
  std::array<std::uint8_t, kMaxMatch + 1> lengthCode{};
  std::array<std::uint8_t, 513> distCode{};
  Tables() {
    for (std::uint32_t l = 3; l <= kMaxMatch; ++l)
      lengthCode[l] = static_cast<std::uint8_t>(codeFor(kLengths, l));
    for (std::uint32_t d = 1; d <= 512; ++d)
      distCode[d] = static_cast<std::uint8_t>(codeFor(kDistances, d));
  }
  unsigned distanceCode(std::uint32_t d) const {
    return d <= 512 ? distCode[d] : codeFor(kDistances, d);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

// A literal (length 0, the byte in `distance`) or a match.
struct Symbol {
  std::uint16_t length;
  std::uint16_t distance;
};

// Bits from the lowest up, appended to the file being written. Its bytes are made room for a
// mebibyte at a time within what was reserved, so that pages are touched only once they are used.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out), size_(out.size()) {}
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // Room for `bytes` more; a put writes at most 4 bytes, a flush at most 4.
  void reserve(std::size_t bytes) {
    if (out_.size() - size_ >= bytes + 16) return;
    const std::size_t step = std::min<std::size_t>(out_.capacity() - size_, std::size_t{1} << 20);
    out_.resize(size_ + std::max(bytes + 16, step));
  }
  void put(std::uint32_t value, unsigned count) {  // count <= 32
    bits_ |= std::uint64_t{value} << used_;
    used_ += count;
    if (used_ >= 32) {
      std::uint8_t* at = out_.data() + size_;
      for (int shift = 0; shift < 32; shift += 8) *at++ = static_cast<std::uint8_t>(bits_ >> shift);
      size_ += 4;
      bits_ >>= 32;
      used_ -= 32;
    }
  }
  void putByte(std::uint8_t byte) {  // on a byte boundary only
    reserve(1);
    out_[size_++] = byte;
  }
  void flush() {
    for (; used_ > 0; used_ = used_ > 8 ? used_ - 8 : 0) {
      out_[size_++] = static_cast<std::uint8_t>(bits_);
      bits_ >>= 8;
    }
    bits_ = 0;
  }
  // Gives the file back holding exactly what was written.
  void finish() { out_.resize(size_); }

 private:
  std::vector<std::uint8_t>& out_;
  std::size_t size_;
  std::uint64_t bits_ = 0;
  unsigned used_ = 0;
};

// A canonical Huffman code of at most `maxBits` bits per symbol, from symbol counts. Every code
// has at least two symbols, so that it is complete (some decoders refuse a lone symbol).
struct HuffmanCode {
  std::vector<std::uint8_t> lengths;
  std::vector<std::uint16_t> codes;  // bit-reversed: deflate sends codes from their top bit

  HuffmanCode(std::vector<std::uint32_t> counts, unsigned maxBits) {
    const std::size_t n = counts.size();
    lengths.assign(n, 0);
    codes.assign(n, 0);
    std::vector<std::uint32_t> used;
    for (std::uint32_t s = 0; s < n; ++s) {
      if (counts[s] != 0) used.push_back(s);
    }
    for (std::uint32_t s = 0; used.size() < 2; ++s) {
      if (counts[s] == 0) {
        counts[s] = 1;
        used.push_back(s);
      }
    }
    std::sort(used.begin(), used.end(), [&](std::uint32_t a, std::uint32_t b) {
      return counts[a] != counts[b] ? counts[a] < counts[b] : a < b;
    });
    // Two queues: the leaves in ascending count, the merged nodes in the order they are made.
    const std::size_t leaves = used.size();
    std::vector<std::uint64_t> weight(2 * leaves - 1);
    std::vector<std::size_t> parent(2 * leaves - 1, 0);
    for (std::size_t i = 0; i < leaves; ++i) weight[i] = counts[used[i]];
    std::size_t nextLeaf = 0, nextNode = leaves, made = leaves;
    auto take = [&]() {
      if (nextLeaf < leaves && (nextNode >= made || weight[nextLeaf] <= weight[nextNode]))
        return nextLeaf++;
      return nextNode++;
    };
    while (made < 2 * leaves - 1) {
      const std::size_t a = take(), b = take();
      weight[made] = weight[a] + weight[b];
      parent[a] = parent[b] = made;
      ++made;
    }
    // Depths from the root down: a node's parent is made after it.
    std::vector<unsigned> depth(2 * leaves - 1, 0);
    std::vector<std::uint32_t> perLength(std::max<std::size_t>(maxBits, 64) + 1, 0);
    for (std::size_t i = 2 * leaves - 2; i-- > 0;) depth[i] = depth[parent[i]] + 1;
    for (std::size_t i = 0; i < leaves; ++i) ++perLength[std::min<unsigned>(depth[i], 64)];
    // Hold lengths to maxBits, then restore the Kraft sum to exactly one.
    for (std::size_t l = maxBits + 1; l < perLength.size(); ++l) {
      perLength[maxBits] += perLength[l];
      perLength[l] = 0;
    }
    std::uint64_t kraft = 0;
    for (unsigned l = 1; l <= maxBits; ++l) kraft += std::uint64_t{perLength[l]} << (maxBits - l);
    while (kraft > (std::uint64_t{1} << maxBits)) {
      --perLength[maxBits];
      for (unsigned l = maxBits - 1; l > 0; --l) {
        if (perLength[l] != 0) {
          --perLength[l];
          perLength[l + 1] += 2;
          break;
        }
      }
      --kraft;
    }
    // The rarest symbols take the longest codes.
    std::size_t next = 0;
    for (unsigned l = maxBits; l > 0; --l) {
      for (std::uint32_t k = 0; k < perLength[l]; ++k)
        lengths[used[next++]] = static_cast<std::uint8_t>(l);
    }
    // Canonical codes, in symbol order within each length.
    std::array<std::uint32_t, 17> nextCode{};
    std::array<std::uint32_t, 17> count{};
    for (const std::uint8_t l : lengths) ++count[l];
    count[0] = 0;
    for (unsigned l = 1; l <= 16; ++l) nextCode[l] = (nextCode[l - 1] + count[l - 1]) << 1;
    for (std::size_t s = 0; s < n; ++s) {
      const unsigned l = lengths[s];
      if (l == 0) continue;
      std::uint32_t code = nextCode[l]++, reversed = 0;
      for (unsigned b = 0; b < l; ++b, code >>= 1) reversed = reversed << 1 | (code & 1);
      codes[s] = static_cast<std::uint16_t>(reversed);
    }
  }
  void write(BitWriter& out, std::size_t symbol) const { out.put(codes[symbol], lengths[symbol]); }
};

// One block with its own code: the header that describes the code, then the symbols.
void writeBlock(BitWriter& out, const std::vector<Symbol>& symbols, bool last) {
  const Tables& t = tables();
  std::vector<std::uint32_t> litLenCounts(kLitLenCodes, 0), distCounts(kDistCodes, 0);
  for (const Symbol& s : symbols) {
    if (s.length == 0) {
      ++litLenCounts[s.distance];
    } else {
      ++litLenCounts[257 + t.lengthCode[s.length]];
      ++distCounts[t.distanceCode(s.distance)];
    }
  }
  litLenCounts[kEndOfBlock] = 1;
  const HuffmanCode litLen(litLenCounts, 15), dist(distCounts, 15);

  unsigned litLenUsed = kLitLenCodes, distUsed = kDistCodes;
  while (litLenUsed > 257 && litLen.lengths[litLenUsed - 1] == 0) --litLenUsed;
  while (distUsed > 1 && dist.lengths[distUsed - 1] == 0) --distUsed;
  std::vector<std::uint8_t> all(litLen.lengths.begin(), litLen.lengths.begin() + litLenUsed);
  all.insert(all.end(), dist.lengths.begin(), dist.lengths.begin() + distUsed);

  // The lengths themselves, with runs: 16 repeats the last 3-6 times, 17 and 18 are 3-10 and
  // 11-138 zeros. Each entry: the length code and its extra bits' value.
  std::vector<std::pair<std::uint8_t, std::uint8_t>> runs;
  for (std::size_t i = 0; i < all.size();) {
    std::size_t run = 1;
    while (i + run < all.size() && all[i + run] == all[i]) ++run;
    std::size_t left = run;
    if (all[i] == 0) {
      while (left >= 11) {
        const std::size_t n = std::min<std::size_t>(left, 138);
        runs.emplace_back(18, static_cast<std::uint8_t>(n - 11));
        left -= n;
      }
      if (left >= 3) {
        runs.emplace_back(17, static_cast<std::uint8_t>(left - 3));
        left = 0;
      }
    } else {
      runs.emplace_back(all[i], 0);
      --left;
      while (left >= 3) {
        const std::size_t n = std::min<std::size_t>(left, 6);
        runs.emplace_back(16, static_cast<std::uint8_t>(n - 3));
        left -= n;
      }
    }
    for (; left > 0; --left) runs.emplace_back(all[i], 0);
    i += run;
  }
  std::vector<std::uint32_t> lengthCounts(kLengthCodes, 0);
  for (const auto& r : runs) ++lengthCounts[r.first];
  const HuffmanCode lengthCode(lengthCounts, 7);
  unsigned lengthsUsed = kLengthCodes;
  while (lengthsUsed > 4 && lengthCode.lengths[kLengthOrder[lengthsUsed - 1]] == 0) --lengthsUsed;

  // At most 48 bits a symbol (a 15-bit length code, 5 extra bits, a 15-bit distance code and 13
  // extra bits), and the header's (286 + 30) lengths of at most 7 + 7 bits.
  out.reserve(symbols.size() * 6 + 1024);
  out.put(last ? 1 : 0, 1);
  out.put(2, 2);  // a dynamic Huffman block
  out.put(litLenUsed - 257, 5);
  out.put(distUsed - 1, 5);
  out.put(lengthsUsed - 4, 4);
  for (unsigned i = 0; i < lengthsUsed; ++i) out.put(lengthCode.lengths[kLengthOrder[i]], 3);
  for (const auto& [code, extra] : runs) {
    lengthCode.write(out, code);
    if (code == 16) out.put(extra, 2);
    if (code == 17) out.put(extra, 3);
    if (code == 18) out.put(extra, 7);
  }
  for (const Symbol& s : symbols) {
    if (s.length == 0) {
      litLen.write(out, s.distance);
      continue;
    }
    const unsigned lc = t.lengthCode[s.length];
    litLen.write(out, 257 + lc);
    out.put(s.length - kLengths[lc].base, kLengths[lc].extraBits);
    const unsigned dc = t.distanceCode(s.distance);
    dist.write(out, dc);
    out.put(s.distance - kDistances[dc].base, kDistances[dc].extraBits);
  }
  litLen.write(out, kEndOfBlock);
}

std::uint32_t readU32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t a = 1, b = 0;
  while (size > 0) {
    const std::size_t n = std::min<std::size_t>(size, 5552);  // no overflow before the modulo
    for (std::size_t i = 0; i < n; ++i) {
      a += data[i];
      b += a;
    }
    a %= 65521;
    b %= 65521;
    data += n;
    size -= n;
  }
  return b << 16 | a;
}

// Appends the zlib stream of `data` to `out`.
void appendZlib(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size) {
  out.reserve(out.size() + size + size / 8 + 1024);  // more than deflate can need
  detail::preferHugePages(out.data(), out.capacity());
  BitWriter bits(out);
  bits.putByte(0x78);  // deflate, 32 KiB window
  bits.putByte(0x01);  // no dictionary, fastest; the two bytes are a multiple of 31
  // Positions + 1 by the hash of their four bytes (0: none); a small image needs a small table.
  const unsigned hashBits =
      std::clamp<unsigned>(static_cast<unsigned>(std::bit_width(size)), 8, kHashBits);
  std::vector<std::uint32_t> head(std::size_t{1} << hashBits, 0);
  std::vector<Symbol> symbols;
  symbols.reserve(kBlockSymbols);
  std::size_t i = 0, misses = 0;
  while (i < size) {
    std::uint32_t matched = 0, distance = 0;
    if (size - i >= kMinMatch) {
      const std::uint32_t word = readU32(data + i);
      std::uint32_t& slot = head[(word * 2654435761u) >> (32 - hashBits)];
      const std::size_t candidate = slot;  // the earlier position + 1
      slot = static_cast<std::uint32_t>(i + 1);
      if (candidate != 0 && i + 1 - candidate <= kWindow && readU32(data + candidate - 1) == word) {
        const std::size_t limit = std::min<std::size_t>(kMaxMatch, size - i);
        std::size_t n = kMinMatch;
        while (n < limit && data[candidate - 1 + n] == data[i + n]) ++n;
        matched = static_cast<std::uint32_t>(n);
        distance = static_cast<std::uint32_t>(i + 1 - candidate);
      }
    }
    if (matched != 0) {
      symbols.push_back(
          {static_cast<std::uint16_t>(matched), static_cast<std::uint16_t>(distance)});
      i += matched;
      misses = 0;
    } else {
      // Where nothing has matched for a while, look at fewer positions (as LZ4 does): noise
      // costs little time, and the next match is found within a few bytes.
      const std::size_t step = std::min({1 + (misses++ >> 5), kMaxStep, size - i});
      for (std::size_t k = 0; k < step; ++k) symbols.push_back({0, data[i + k]});
      i += step;
    }
    if (symbols.size() + kMaxStep >= kBlockSymbols || i == size) {
      writeBlock(bits, symbols, i == size);
      symbols.clear();
    }
  }
  if (size == 0) writeBlock(bits, symbols, true);
  bits.flush();
  const std::uint32_t check = adler32(data, size);
  for (int shift = 24; shift >= 0; shift -= 8)
    bits.putByte(static_cast<std::uint8_t>(check >> shift));
  bits.finish();
}

// ---- PNG ----

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void appendU32Be(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A chunk whose data is already in `out` from `start` on, after room for its length and type.
void closeChunk(std::vector<std::uint8_t>& out, std::size_t start) {
  const std::size_t length = out.size() - start - 8;
  for (std::size_t i = 0; i < 4; ++i)
    out[start + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  appendU32Be(out, crc32(out.data() + start + 4, length + 4));
}

std::size_t openChunk(std::vector<std::uint8_t>& out, const char (&type)[5]) {
  const std::size_t start = out.size();
  out.insert(out.end(), 4, 0);
  out.insert(out.end(), type, type + 4);
  return start;
}

std::int32_t paeth(std::int32_t left, std::int32_t up, std::int32_t upLeft) {
  const std::int32_t toLeft = std::abs(up - upLeft), toUp = std::abs(left - upLeft);
  const std::int32_t toUpLeft = std::abs(left + up - 2 * upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return left;
  return toUp <= toUpLeft ? up : upLeft;
}

// Each row behind its filter byte: Paeth throughout, the best of the fixed filters on textures
// (trying all five per row costs more time than it saves bytes). RGB drops the alpha bytes.
template <std::size_t Channels>
void filterRows(const Pixels& pixels, std::uint8_t* out) {
  const std::size_t width = pixels.width, height = pixels.height;
  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* current = pixels.rgba.data() + y * width * 4;
    const std::uint8_t* above = y > 0 ? current - width * 4 : nullptr;
    *out++ = 4;
    for (std::size_t x = 0; x < width; ++x) {
      for (std::size_t c = 0; c < Channels; ++c) {
        const std::size_t at = x * 4 + c;
        const std::int32_t left = x > 0 ? current[at - 4] : 0;
        const std::int32_t up = above != nullptr ? above[at] : 0;
        const std::int32_t upLeft = above != nullptr && x > 0 ? above[at - 4] : 0;
        *out++ = static_cast<std::uint8_t>(current[at] - paeth(left, up, upLeft));
      }
    }
  }
}

}  // namespace

std::vector<std::uint8_t> encodePng(const Pixels& pixels) {
  try {
    const std::uint64_t width = pixels.width, height = pixels.height;
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension ||
        pixels.rgba.size() != width * height * 4)
      return {};
    bool opaque = true;
    for (std::size_t i = 3; i < pixels.rgba.size() && opaque; i += 4)
      opaque = pixels.rgba[i] == 255;
    const std::size_t channels = opaque ? 3 : 4;
    const std::size_t rowsSize = static_cast<std::size_t>((width * channels + 1) * height);
    // A chunk holds at most 2^31 - 1 bytes, one IDAT here: about a 500-megapixel image.
    if (rowsSize + rowsSize / 8 + 1024 > static_cast<std::size_t>(INT_MAX)) return {};
    // Left unset until filtered: every byte is written.
    const std::unique_ptr<std::uint8_t[]> rows(new std::uint8_t[rowsSize]);
    detail::preferHugePages(rows.get(), rowsSize);
    if (opaque) {
      filterRows<3>(pixels, rows.get());
    } else {
      filterRows<4>(pixels, rows.get());
    }

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::size_t chunk = openChunk(png, "IHDR");
    appendU32Be(png, static_cast<std::uint32_t>(width));
    appendU32Be(png, static_cast<std::uint32_t>(height));
    png.insert(png.end(), {8, static_cast<std::uint8_t>(opaque ? 2 : 6), 0, 0, 0});
    closeChunk(png, chunk);
    chunk = openChunk(png, "IDAT");
    appendZlib(png, rows.get(), rowsSize);
    if (png.size() - chunk - 8 > 0x7FFFFFFF) return {};  // noise near the size limit
    closeChunk(png, chunk);
    closeChunk(png, openChunk(png, "IEND"));
    return png;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace kxm::image
