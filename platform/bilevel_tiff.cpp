#include "platform/bilevel_tiff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/area_average.h"
#include "platform/image_header.h"
#include "platform/tiff_bytes.h"

namespace tallow {
namespace {

using Bytes = std::span<const std::uint8_t>;

// ---- The first image's directory ----

constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kCompressionGroup4 = 4;
constexpr std::uint16_t kPhotometricWhiteIsZero = 0;
constexpr std::uint16_t kPhotometricBlackIsZero = 1;

struct Directory {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bitsPerSample = 1;
  std::uint32_t samplesPerPixel = 1;
  std::uint32_t compression = 1;
  std::optional<std::uint32_t> photometric;
  std::uint32_t fillOrder = 1;
  std::uint32_t orientation = 1;
  std::uint32_t rowsPerStrip = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> stripOffsets;
  std::vector<std::uint32_t> stripByteCounts;
  bool tiled = false;
};

class TiffReader : public TiffBytes {
 public:
  using TiffBytes::TiffBytes;

  // The SHORT or LONG values of the entry at |entry|; nullopt for another
  // type or values outside the file.
  std::optional<std::vector<std::uint32_t>> Values(std::size_t entry) const {
    const std::uint16_t type = U16(entry + 2);
    const std::uint64_t count = U32(entry + 4);
    if (type != kTypeShort && type != kTypeLong) return std::nullopt;
    const std::uint64_t size = type == kTypeShort ? 2 : 4;
    // No page has more strips than this; more is a broken file.
    if (count == 0 || count > kMaxImageSide) return std::nullopt;
    std::uint64_t at = entry + 8;
    if (count * size > 4) at = U32(entry + 8);
    if (!Has(at, count * size)) return std::nullopt;
    std::vector<std::uint32_t> values(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::size_t p = static_cast<std::size_t>(at + i * size);
      values[i] = size == 2 ? U16(p) : U32(p);
    }
    return values;
  }
};

std::optional<Directory> ReadDirectory(Bytes data, bool& bigEndian) {
  if (data.size() < 8) return std::nullopt;
  if (data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) {
    bigEndian = false;
  } else if (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42) {
    bigEndian = true;
  } else {
    return std::nullopt;
  }
  const TiffReader tiff(data, bigEndian);
  const std::uint64_t ifd = tiff.U32(4);
  if (ifd < 8 || !tiff.Has(ifd, 2)) return std::nullopt;
  const std::uint64_t count = tiff.U16(static_cast<std::size_t>(ifd));
  if (!tiff.Has(ifd + 2, count * 12)) return std::nullopt;
  Directory d;
  bool haveWidth = false, haveHeight = false, havePhotometric = false, haveOffsets = false,
       haveCounts = false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t entry = static_cast<std::size_t>(ifd + 2 + i * 12);
    const std::uint16_t tag = tiff.U16(entry);
    // The first of repeated tags counts, as for the header.
    const auto take = [&](bool& seen, std::uint32_t& value) -> bool {
      if (seen) return true;
      seen = true;
      const auto v = tiff.Values(entry);
      if (!v) return false;
      value = (*v)[0];
      return true;
    };
    bool seenOnce = false;  // for tags whose repeats we ignore without a flag
    bool ok = true;
    switch (tag) {
      case 256:
        ok = take(haveWidth, d.width);
        break;
      case 257:
        ok = take(haveHeight, d.height);
        break;
      case 258:
        ok = take(seenOnce, d.bitsPerSample);
        break;
      case 259:
        ok = take(seenOnce, d.compression);
        break;
      case 262: {
        std::uint32_t p = 0;
        if (!havePhotometric) {
          ok = take(havePhotometric, p);
          d.photometric = p;
        }
        break;
      }
      case 266:
        ok = take(seenOnce, d.fillOrder);
        break;
      case 273:
        if (!haveOffsets) {
          haveOffsets = true;
          const auto v = tiff.Values(entry);
          ok = v.has_value();
          if (v) d.stripOffsets = *v;
        }
        break;
      case 274:
        ok = take(seenOnce, d.orientation);
        break;
      case 277:
        ok = take(seenOnce, d.samplesPerPixel);
        break;
      case 278:
        ok = take(seenOnce, d.rowsPerStrip);
        break;
      case 279:
        if (!haveCounts) {
          haveCounts = true;
          const auto v = tiff.Values(entry);
          ok = v.has_value();
          if (v) d.stripByteCounts = *v;
        }
        break;
      case 322:  // tile width: a tiled page
      case 324:
        d.tiled = true;
        break;
      default:
        break;
    }
    if (!ok) return std::nullopt;
  }
  if (!haveWidth || !haveHeight || !haveOffsets || !haveCounts) return std::nullopt;
  return d;
}

// ---- Codes ----

// A code's value: a run length, or one of these.
enum Mode : std::int16_t {
  kPass = 1,
  kHorizontal = 2,
  kVertical0 = 10,  // kVertical0 + d for the vertical modes, d in -3..3
  kInvalid = -1,
};

constexpr int kPeekBits = 13;  // the longest code

struct CodeEntry {
  std::int16_t value = kInvalid;
  std::uint8_t length = 0;
};
using CodeTable = std::array<CodeEntry, 1u << kPeekBits>;

struct Code {
  std::string_view bits;
  std::int16_t value;
};

// Run lengths common to both colours (makeup codes from 1792 on).
constexpr Code kCommonMakeup[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},
    {"000000010010", 1984}, {"000000010011", 2048}, {"000000010100", 2112},
    {"000000010101", 2176}, {"000000010110", 2240}, {"000000010111", 2304},
    {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

constexpr Code kWhiteCodes[] = {
    {"00110101", 0},    {"000111", 1},      {"0111", 2},        {"1000", 3},
    {"1011", 4},        {"1100", 5},        {"1110", 6},        {"1111", 7},
    {"10011", 8},       {"10100", 9},       {"00111", 10},      {"01000", 11},
    {"001000", 12},     {"000011", 13},     {"110100", 14},     {"110101", 15},
    {"101010", 16},     {"101011", 17},     {"0100111", 18},    {"0001100", 19},
    {"0001000", 20},    {"0010111", 21},    {"0000011", 22},    {"0000100", 23},
    {"0101000", 24},    {"0101011", 25},    {"0010011", 26},    {"0100100", 27},
    {"0011000", 28},    {"00000010", 29},   {"00000011", 30},   {"00011010", 31},
    {"00011011", 32},   {"00010010", 33},   {"00010011", 34},   {"00010100", 35},
    {"00010101", 36},   {"00010110", 37},   {"00010111", 38},   {"00101000", 39},
    {"00101001", 40},   {"00101010", 41},   {"00101011", 42},   {"00101100", 43},
    {"00101101", 44},   {"00000100", 45},   {"00000101", 46},   {"00001010", 47},
    {"00001011", 48},   {"01010010", 49},   {"01010011", 50},   {"01010100", 51},
    {"01010101", 52},   {"00100100", 53},   {"00100101", 54},   {"01011000", 55},
    {"01011001", 56},   {"01011010", 57},   {"01011011", 58},   {"01001010", 59},
    {"01001011", 60},   {"00110010", 61},   {"00110011", 62},   {"00110100", 63},
    {"11011", 64},      {"10010", 128},     {"010111", 192},    {"0110111", 256},
    {"00110110", 320},  {"00110111", 384},  {"01100100", 448},  {"01100101", 512},
    {"01101000", 576},  {"01100111", 640},  {"011001100", 704}, {"011001101", 768},
    {"011010010", 832}, {"011010011", 896}, {"011010100", 960}, {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},   {"010011011", 1728},
};

constexpr Code kBlackCodes[] = {
    {"0000110111", 0},     {"010", 1},            {"11", 2},             {"10", 3},
    {"011", 4},            {"0011", 5},           {"0010", 6},           {"00011", 7},
    {"000101", 8},         {"000100", 9},         {"0000100", 10},       {"0000101", 11},
    {"0000111", 12},       {"00000100", 13},      {"00000111", 14},      {"000011000", 15},
    {"0000010111", 16},    {"0000011000", 17},    {"0000001000", 18},    {"00001100111", 19},
    {"00001101000", 20},   {"00001101100", 21},   {"00000110111", 22},   {"00000101000", 23},
    {"00000010111", 24},   {"00000011000", 25},   {"000011001010", 26},  {"000011001011", 27},
    {"000011001100", 28},  {"000011001101", 29},  {"000001101000", 30},  {"000001101001", 31},
    {"000001101010", 32},  {"000001101011", 33},  {"000011010010", 34},  {"000011010011", 35},
    {"000011010100", 36},  {"000011010101", 37},  {"000011010110", 38},  {"000011010111", 39},
    {"000001101100", 40},  {"000001101101", 41},  {"000011011010", 42},  {"000011011011", 43},
    {"000001010100", 44},  {"000001010101", 45},  {"000001010110", 46},  {"000001010111", 47},
    {"000001100100", 48},  {"000001100101", 49},  {"000001010010", 50},  {"000001010011", 51},
    {"000000100100", 52},  {"000000110111", 53},  {"000000111000", 54},  {"000000100111", 55},
    {"000000101000", 56},  {"000001011000", 57},  {"000001011001", 58},  {"000000101011", 59},
    {"000000101100", 60},  {"000001011010", 61},  {"000001100110", 62},  {"000001100111", 63},
    {"0000001111", 64},    {"000011001000", 128}, {"000011001001", 192}, {"000001011011", 256},
    {"000000110011", 320}, {"000000110100", 384}, {"000000110101", 448}, {"0000001101100", 512},
    {"0000001101101", 576}, {"0000001001010", 640}, {"0000001001011", 704},
    {"0000001001100", 768}, {"0000001001101", 832}, {"0000001110010", 896},
    {"0000001110011", 960}, {"0000001110100", 1024}, {"0000001110101", 1088},
    {"0000001110110", 1152}, {"0000001110111", 1216}, {"0000001010010", 1280},
    {"0000001010011", 1344}, {"0000001010100", 1408}, {"0000001010101", 1472},
    {"0000001011010", 1536}, {"0000001011011", 1600}, {"0000001100100", 1664},
    {"0000001100101", 1728},
};

// The two-dimensional mode codes; the extension into uncompressed mode
// (0000001xxx) and end-of-line codes are left invalid.
constexpr Code kModeCodes[] = {
    {"0001", kPass},
    {"001", kHorizontal},
    {"1", kVertical0},
    {"011", kVertical0 + 1},
    {"000011", kVertical0 + 2},
    {"0000011", kVertical0 + 3},
    {"010", kVertical0 - 1},
    {"000010", kVertical0 - 2},
    {"0000010", kVertical0 - 3},
};

CodeTable MakeTable(std::span<const Code> codes, std::span<const Code> more = {}) {
  CodeTable table{};
  const auto add = [&](const Code& c) {
    std::uint32_t prefix = 0;
    for (char bit : c.bits) prefix = (prefix << 1) | (bit == '1' ? 1u : 0u);
    const int free = kPeekBits - static_cast<int>(c.bits.size());
    for (std::uint32_t rest = 0; rest < (1u << free); ++rest) {
      table[(prefix << free) | rest] = CodeEntry{c.value, static_cast<std::uint8_t>(c.bits.size())};
    }
  };
  for (const Code& c : codes) add(c);
  for (const Code& c : more) add(c);
  return table;
}

const CodeTable& WhiteTable() {
  static const CodeTable table = MakeTable(kWhiteCodes, kCommonMakeup);
  return table;
}
const CodeTable& BlackTable() {
  static const CodeTable table = MakeTable(kBlackCodes, kCommonMakeup);
  return table;
}
const CodeTable& ModeTable() {
  static const CodeTable table = MakeTable(kModeCodes);
  return table;
}

// ---- Bits ----

class BitReader {
 public:
  BitReader(Bytes data, bool lsbFirst) : data_(data), lsbFirst_(lsbFirst) {}

  // The next kPeekBits bits, zeros past the end.
  std::uint32_t Peek() const {
    std::uint32_t word = 0;
    const std::size_t byte = position_ / 8;
    for (std::size_t i = 0; i < 3; ++i) word = (word << 8) | Byte(byte + i);
    return (word >> (24 - kPeekBits - position_ % 8)) & ((1u << kPeekBits) - 1);
  }
  // False once the bits taken run past the data.
  bool Skip(int bits) {
    position_ += static_cast<std::size_t>(bits);
    return position_ <= data_.size() * 8;
  }

 private:
  std::uint32_t Byte(std::size_t at) const {
    if (at >= data_.size()) return 0;
    const std::uint8_t b = data_[at];
    return lsbFirst_ ? Reversed(b) : b;
  }
  static std::uint8_t Reversed(std::uint8_t b) {
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
  }

  Bytes data_;
  bool lsbFirst_;
  std::size_t position_ = 0;
};

bool ReadCode(BitReader& bits, const CodeTable& table, int& value) {
  const CodeEntry e = table[bits.Peek()];
  if (e.value == kInvalid) return false;
  value = e.value;
  return bits.Skip(e.length);
}

// A run of one colour: makeup codes, then a terminating one.
bool ReadRun(BitReader& bits, bool ink, int width, int& run) {
  const CodeTable& table = ink ? BlackTable() : WhiteTable();
  run = 0;
  for (;;) {
    int part = 0;
    if (!ReadCode(bits, table, part)) return false;
    run += part;
    if (run > width) return false;
    if (part < 64) return true;
  }
}

// One coded row: the positions where the colour changes, starting from
// paper at 0, from the reference row's (followed by three |width|s).
bool DecodeRow(BitReader& bits, const std::vector<int>& reference, int width,
               std::vector<int>& changes) {
  changes.clear();
  const auto change = [&](int at) {
    if (at >= width) return;
    // Two changes at one place undo each other.
    if (!changes.empty() && changes.back() == at) {
      changes.pop_back();
    } else {
      changes.push_back(at);
    }
  };
  int a0 = -1;
  int colour = 0;  // 0 paper, 1 ink
  std::size_t r = 0;
  while (a0 < width) {
    // b1: the first change of the reference row right of a0 to the other
    // colour (even entries change to ink); b2 the one after it.
    while (r > 0 && reference[r - 1] > a0) --r;
    while (reference[r] <= a0) ++r;
    if ((r & 1) != static_cast<std::size_t>(colour)) ++r;
    const int b1 = reference[r];
    const int b2 = reference[r + 1];
    int mode = 0;
    if (!ReadCode(bits, ModeTable(), mode)) return false;
    if (mode == kPass) {
      a0 = b2;
    } else if (mode == kHorizontal) {
      const int start = std::max(a0, 0);
      int run1 = 0, run2 = 0;
      if (!ReadRun(bits, colour == 1, width, run1) || !ReadRun(bits, colour == 0, width, run2)) {
        return false;
      }
      if (run1 + run2 > width - start) return false;
      change(start + run1);
      change(start + run1 + run2);
      a0 = start + run1 + run2;
    } else {
      const int a1 = b1 + mode - kVertical0;
      if (a1 < 0 || a1 > width || a1 < a0) return false;
      change(a1);
      a0 = a1;
      colour ^= 1;
    }
  }
  return a0 == width;
}

}  // namespace

bool AverageBilevelTiff(std::span<const std::uint8_t> file, double x, double y, double width,
                        double height, int cx, int cy, std::uint8_t* to) {
  bool bigEndian = false;
  const std::optional<Directory> d = ReadDirectory(file, bigEndian);
  if (!d || d->tiled || d->compression != kCompressionGroup4 || d->bitsPerSample != 1 ||
      d->samplesPerPixel != 1 || d->orientation != 1 || !d->photometric ||
      (*d->photometric != kPhotometricWhiteIsZero && *d->photometric != kPhotometricBlackIsZero) ||
      (d->fillOrder != 1 && d->fillOrder != 2) || d->width < 1 || d->height < 1 ||
      d->width > static_cast<std::uint32_t>(kMaxImageSide) ||
      d->height > static_cast<std::uint32_t>(kMaxImageSide)) {
    return false;
  }
  const int pageWidth = static_cast<int>(d->width);
  const int pageHeight = static_cast<int>(d->height);
  const std::uint32_t rowsPerStrip =
      std::min(std::max<std::uint32_t>(d->rowsPerStrip, 1), d->height);
  const std::size_t strips = (d->height + rowsPerStrip - 1) / rowsPerStrip;
  if (d->stripOffsets.size() < strips || d->stripByteCounts.size() < strips) return false;

  const std::vector<std::int64_t> across = AreaEdges(x, width, cx, pageWidth);
  const std::vector<std::int64_t> down = AreaEdges(y, height, cy, pageHeight);
  if (across.empty() || down.empty()) return false;

  // The rows as they are decoded, strip by strip; each strip starts from a
  // row of paper.
  std::vector<int> reference = {pageWidth, pageWidth, pageWidth};
  std::vector<int> changes;
  std::optional<BitReader> bits;
  int decoded = 0;
  const auto nextRow = [&]() -> bool {
    const std::size_t strip = static_cast<std::size_t>(decoded) / rowsPerStrip;
    if (static_cast<std::uint32_t>(decoded) % rowsPerStrip == 0) {
      const std::uint64_t offset = d->stripOffsets[strip];
      const std::uint64_t size = d->stripByteCounts[strip];
      if (offset > file.size() || size > file.size() - offset) return false;
      bits.emplace(file.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)),
                   d->fillOrder == 2);
      reference.assign(3, pageWidth);
    }
    if (!DecodeRow(*bits, reference, pageWidth, changes)) return false;
    reference.assign(changes.begin(), changes.end());
    reference.insert(reference.end(), 3, pageWidth);
    ++decoded;
    return true;
  };

  // The ink of the last row decoded in each target column, in
  // 1/kAreaUnit of a pixel.
  std::vector<std::uint64_t> rowInk(static_cast<std::size_t>(cx));
  int inkRow = -1;
  const auto measureInk = [&] {
    std::fill(rowInk.begin(), rowInk.end(), 0);
    std::size_t t = 0;
    for (std::size_t i = 0; i < changes.size(); i += 2) {
      const std::int64_t from = std::int64_t{changes[i]} * kAreaUnit;
      const std::int64_t upto =
          std::int64_t{i + 1 < changes.size() ? changes[i + 1] : pageWidth} * kAreaUnit;
      while (t < static_cast<std::size_t>(cx) && across[t + 1] <= from) ++t;
      for (std::size_t u = t; u < static_cast<std::size_t>(cx) && across[u] < upto; ++u) {
        const std::int64_t covered = std::min(upto, across[u + 1]) - std::max(from, across[u]);
        if (covered > 0) rowInk[u] += static_cast<std::uint64_t>(covered);
        if (across[u + 1] > upto) break;
      }
    }
  };

  const bool inkIsWhite = *d->photometric == kPhotometricBlackIsZero;
  std::vector<std::uint64_t> sum(static_cast<std::size_t>(cx));
  for (int row = 0; row < cy; ++row) {
    std::fill(sum.begin(), sum.end(), 0);
    const std::int64_t top = down[static_cast<std::size_t>(row)];
    const std::int64_t bottom = down[static_cast<std::size_t>(row) + 1];
    for (std::int64_t source = top / kAreaUnit; source * kAreaUnit < bottom; ++source) {
      const std::int64_t weight =
          std::min(bottom, (source + 1) * kAreaUnit) - std::max(top, source * kAreaUnit);
      if (weight <= 0) continue;
      while (decoded <= source) {
        if (!nextRow()) return false;
      }
      if (inkRow != source) {
        measureInk();
        inkRow = static_cast<int>(source);
      }
      for (std::size_t t = 0; t < sum.size(); ++t) {
        sum[t] += static_cast<std::uint64_t>(weight) * rowInk[t];
      }
    }
    std::uint8_t* out = to + static_cast<std::size_t>(row) * cx * 3;
    for (std::size_t t = 0; t < sum.size(); ++t) {
      const double whole = static_cast<double>(bottom - top) *
                           static_cast<double>(across[t + 1] - across[t]);
      const double ink = static_cast<double>(sum[t]) / whole;
      const auto level = static_cast<std::uint8_t>(std::lround(255.0 * (inkIsWhite ? ink : 1 - ink)));
      out[t * 3] = out[t * 3 + 1] = out[t * 3 + 2] = level;
    }
  }
  return true;
}

}  // namespace tallow
