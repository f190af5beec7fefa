#include "platform/area_average.h"

#include <algorithm>
#include <cmath>

namespace tallow {

namespace {

// What one source pixel gives one target pixel along an axis.
struct Share {
  int source;
  int target;
  std::uint32_t weight;
};

// The shares along an axis in source order (and so in target order), and
// each target pixel's whole weight.
struct Axis {
  std::vector<Share> shares;
  std::vector<std::uint64_t> total;
};

bool MakeAxis(double from, double length, int count, int limit, Axis& axis) {
  const std::vector<std::int64_t> edges = AreaEdges(from, length, count, limit);
  if (edges.empty()) return false;
  axis.shares.clear();
  axis.total.assign(static_cast<std::size_t>(count), 0);
  for (int t = 0; t < count; ++t) {
    const std::int64_t left = edges[static_cast<std::size_t>(t)];
    const std::int64_t right = edges[static_cast<std::size_t>(t) + 1];
    for (std::int64_t s = left / kAreaUnit; s * kAreaUnit < right; ++s) {
      const std::int64_t covered =
          std::min(right, (s + 1) * kAreaUnit) - std::max(left, s * kAreaUnit);
      if (covered <= 0) continue;
      axis.shares.push_back({static_cast<int>(s), t, static_cast<std::uint32_t>(covered)});
      axis.total[static_cast<std::size_t>(t)] += static_cast<std::uint64_t>(covered);
    }
  }
  return true;
}

}  // namespace

std::vector<std::int64_t> AreaEdges(double from, double length, int count, int limit) {
  const double end = std::min(from + length, static_cast<double>(limit));
  from = std::max(from, 0.0);
  if (count <= 0 || !(end - from >= count)) return {};
  const double step = (end - from) / count;
  std::vector<std::int64_t> edges(static_cast<std::size_t>(count) + 1);
  for (int i = 0; i <= count; ++i) {
    edges[static_cast<std::size_t>(i)] = std::llround((from + step * i) * kAreaUnit);
  }
  // The last edge exactly at the part's end, whatever the rounding.
  edges.back() = std::llround(end * kAreaUnit);
  return edges;
}

bool AreaAverage(const RgbPixels& from, double x, double y, double width, double height, int cx,
                 int cy, std::uint8_t* to) {
  if (!from.data || from.width <= 0 || from.height <= 0) return false;
  Axis across, down;
  if (!MakeAxis(x, width, cx, from.width, across) || !MakeAxis(y, height, cy, from.height, down)) {
    return false;
  }
  const std::size_t rowValues = static_cast<std::size_t>(cx) * 3;
  // One source row reduced across, and the target row being summed down.
  std::vector<std::uint64_t> reduced(rowValues);
  std::vector<std::uint64_t> sum(rowValues, 0);
  int reducedRow = -1;
  const auto emit = [&](int row) {
    std::uint8_t* out = to + static_cast<std::size_t>(row) * rowValues;
    const std::uint64_t rowWeight = down.total[static_cast<std::size_t>(row)];
    for (int t = 0; t < cx; ++t) {
      const std::uint64_t whole = rowWeight * across.total[static_cast<std::size_t>(t)];
      for (int c = 0; c < 3; ++c) {
        std::uint64_t& v = sum[static_cast<std::size_t>(t) * 3 + c];
        out[t * 3 + c] = static_cast<std::uint8_t>((v + whole / 2) / whole);
        v = 0;
      }
    }
  };
  int row = 0;
  for (const Share& d : down.shares) {
    if (d.target != row) {
      emit(row);
      row = d.target;
    }
    if (d.source != reducedRow) {
      std::fill(reduced.begin(), reduced.end(), 0);
      const std::uint8_t* src = from.data + static_cast<std::size_t>(d.source) * from.width * 3;
      for (const Share& a : across.shares) {
        const std::uint8_t* p = src + static_cast<std::size_t>(a.source) * 3;
        std::uint64_t* q = &reduced[static_cast<std::size_t>(a.target) * 3];
        q[0] += std::uint64_t{a.weight} * p[0];
        q[1] += std::uint64_t{a.weight} * p[1];
        q[2] += std::uint64_t{a.weight} * p[2];
      }
      reducedRow = d.source;
    }
    for (std::size_t i = 0; i < rowValues; ++i) sum[i] += d.weight * reduced[i];
  }
  emit(row);
  return true;
}

}  // namespace tallow
