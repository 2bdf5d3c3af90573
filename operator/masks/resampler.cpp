#include "masks/resampler.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace tileron {

namespace {

// ---- row kernels ---------------------------------------------------------------

// Boundaries closer than this count as one (the destination boundary wins).
constexpr double kTolerance = 0.0001;

// One entry of the horizontal segment table: a piece of a source row ending at
// the next source or destination boundary, whichever comes first. Every row is
// cut the same way, so the pieces are worked out once per call.
struct Segment {
  double length;       // source pixels; 0 or a tiny value of either sign where
                       // two boundaries coincide, and weighted like any other
  int32_t source;      // source pixel k under the piece
  int32_t right;       // its right neighbour, k itself at the right edge
  int32_t destination; // destination pixel the piece adds to
  float c;             // horizontal fraction at the piece's end (1 at a source boundary)
};

// Merges the source boundaries 1, 2, ... and the destination boundaries cx,
// 2cx, ... into at most sw + dw pieces and stops once the last destination pixel
// is closed. Lengths are the boundary minus the running sum of the lengths; the
// boundaries are running sums of 1 and of cx. Returns the number of pieces.
int32_t buildSegmentTable(double cx, int32_t sw, int32_t dw, Segment *table) {
  int32_t k = 0, i = 0, count = 0;
  double a = 0.0;   // the next destination boundary is a + cx
  double sum = 0.0; // lengths so far
  // k < sw only guards memory: the tolerance is far above the rounding of the
  // running boundaries, so the last destination boundary comes first.
  while (count < sw + dw && i < dw && k < sw) {
    Segment &s = table[count++];
    s.source = k;
    s.right = k < sw - 1 ? k + 1 : k;
    s.destination = i;
    double end;
    if (double(k) + 1.0 + kTolerance < a + cx) {
      end = double(k) + 1.0;
      s.c = 1.0f;
      ++k;
    } else {
      end = a + cx;
      s.c = float(a + cx - double(k));
      a += cx;
      ++i;
    }
    s.length = end - sum;
    sum += s.length;
  }
  return count;
}

// One horizontal pass over the source rows t and t + 1 (row t itself at the
// bottom edge), for a vertical segment of height w ending at fraction v.
struct SegmentRow {
  const uint8_t *current;
  const uint8_t *next;
  const Segment *table;
  int32_t segments;
  int32_t bytesPerPixel;
};

// Adds the pass to the accumulators (destination width x bytes per pixel).
// Mode bit 0 interpolates vertically, bit 1 horizontally. The weights c, 1 - c,
// v, 1 - v and their products with the bytes are single precision; the product
// with the piece's area w x length and the sums are double. Bytes is the
// number of bytes per pixel when fixed at compile time (masks: 1), else 0.
template <int Mode, int Bytes>
void accumulateSegment(const SegmentRow &row, double w, float v, double *accumulator) {
  const int32_t n = Bytes != 0 ? Bytes : row.bytesPerPixel;
  const float oneMinusV = 1.0f - v;
  for (int32_t p = 0; p < row.segments; ++p) {
    const Segment &s = row.table[p];
    const double d = w * s.length;
    const float c = s.c, oneMinusC = 1.0f - s.c;
    const uint8_t *a = row.current + size_t(s.source) * n;
    const uint8_t *ar = row.current + size_t(s.right) * n;
    const uint8_t *b = row.next + size_t(s.source) * n;
    const uint8_t *br = row.next + size_t(s.right) * n;
    double *sums = accumulator + size_t(s.destination) * n;
    for (int32_t m = 0; m < n; ++m) {
      if constexpr (Mode == 0) {
        sums[m] += double(a[m]) * d;
      } else if constexpr (Mode == 1) {
        const float value = float(a[m]) * oneMinusV + float(b[m]) * v;
        sums[m] += double(value) * d;
      } else if constexpr (Mode == 2) {
        const float value = float(ar[m]) * c + float(a[m]) * oneMinusC;
        sums[m] += double(value) * d;
      } else {
        const float top = float(ar[m]) * c + float(a[m]) * oneMinusC;
        const float bottom = float(br[m]) * c + float(b[m]) * oneMinusC;
        const float value = top * oneMinusV + bottom * v;
        sums[m] += double(value) * d;
      }
    }
  }
}

using AccumulateFn = void (*)(const SegmentRow &, double, float, double *);
// By [one byte per pixel][mode].
constexpr AccumulateFn kAccumulate[2][4] = {
    {accumulateSegment<0, 0>, accumulateSegment<1, 0>, accumulateSegment<2, 0>, accumulateSegment<3, 0>},
    {accumulateSegment<0, 1>, accumulateSegment<1, 1>, accumulateSegment<2, 1>, accumulateSegment<3, 1>}};

// Scales the accumulators by factor, truncates each toward zero to its byte
// (low 8 bits) and zeroes them for the next row.
void finishRow(double *accumulator, int32_t count, double factor, uint8_t *destination) {
  for (int32_t x = 0; x < count; ++x) {
    destination[x] = uint8_t(int32_t(accumulator[x] * factor) & 0xFF);
    accumulator[x] = 0.0;
  }
}

// ---- plumbing ----------------------------------------------------------------

// Working memory beyond this is not requested: mask images with 16-bit sizes
// need well under a megabyte, and a malformed plane must not make the
// allocator hand out gigabytes.
constexpr int64_t kMaxWorkingBytes = int64_t{256} << 20;

bool planeIsUsable(const ImagePlane &plane) {
  if (plane.pixels == nullptr || plane.width <= 0 || plane.height <= 0 ||
      plane.bytesPerPixel <= 0)
    return false;
  const int64_t rowBytes = int64_t{plane.width} * plane.bytesPerPixel;
  const int64_t stride = plane.rowStride < 0 ? -int64_t{plane.rowStride} : plane.rowStride;
  return stride >= rowBytes;
}

uint8_t *rowAt(const ImagePlane &plane, int32_t row) {
  return plane.pixels + int64_t{row} * plane.rowStride;
}

template <typename T> std::unique_ptr<T[]> allocate(int64_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]);
}

} // namespace

int resamplePlane(const ImagePlane &source, const ImagePlane &destination) {
  if (!planeIsUsable(destination)) return 0;
  const int32_t dw = destination.width, dh = destination.height;
  const int32_t n = destination.bytesPerPixel;
  const int64_t destinationRowBytes = int64_t{dw} * n;
  const auto fail = [&] {
    for (int32_t y = 0; y < dh; ++y) std::memset(rowAt(destination, y), 255, size_t(destinationRowBytes));
    return 0;
  };
  if (!planeIsUsable(source) || source.bytesPerPixel != n) return fail();

  const int32_t sw = source.width, sh = source.height;
  const int64_t sourceRowBytes = int64_t{sw} * n;
  const int64_t tableEntries = int64_t{sw} + dw;
  const int64_t workingBytes = 2 * sourceRowBytes + destinationRowBytes * int64_t(1 + sizeof(double)) +
                               tableEntries * int64_t(sizeof(Segment));
  if (workingBytes > kMaxWorkingBytes) return fail();
  auto rowA = allocate<uint8_t>(sourceRowBytes);
  auto rowB = allocate<uint8_t>(sourceRowBytes);
  auto outRow = allocate<uint8_t>(destinationRowBytes);
  auto accumulator = allocate<double>(destinationRowBytes);
  auto table = allocate<Segment>(tableEntries);
  if (!rowA || !rowB || !outRow || !accumulator || !table) return fail();

  // cx, cy: the source extent of one destination pixel. A direction that
  // enlarges (extent below 1) interpolates.
  const double cx = double(sw) / double(dw);
  const double cy = double(sh) / double(dh);
  const double factor = 1.0 / (cy * cx);
  const AccumulateFn accumulate = kAccumulate[n == 1][(cx < 1.0 ? 2 : 0) + (cy < 1.0 ? 1 : 0)];

  SegmentRow row{};
  row.table = table.get();
  row.segments = buildSegmentTable(cx, sw, dw, table.get());
  row.bytesPerPixel = n;
  std::fill_n(accumulator.get(), destinationRowBytes, 0.0);

  uint8_t *current = rowA.get(); // source row t
  uint8_t *below = rowB.get();   // source row t + 1, when it exists
  std::memcpy(current, rowAt(source, 0), size_t(sourceRowBytes));
  if (sh > 1) std::memcpy(below, rowAt(source, 1), size_t(sourceRowBytes));

  // Vertical segments end at the next source row boundary j = t + 1 or the
  // next destination row boundary u = o + cy, whichever comes first (equal
  // within the tolerance: the destination one). Values are taken at the end of
  // each segment: v is the fraction of the way from row t to row t + 1.
  int32_t t = 0;
  double o = 0.0;
  double sum = 0.0; // heights so far
  int32_t rowsLeft = dh;
  while (rowsLeft > 0) {
    const double j = double(t) + 1.0;
    const double u = o + cy;
    const bool completesRow = j + kTolerance >= u;
    double w;
    float v;
    if (completesRow) {
      w = u - sum;
      v = float(u - double(t));
      o = u;
    } else {
      w = j - sum;
      v = 1.0f;
    }
    sum += w;
    row.current = current;
    row.next = t < sh - 1 ? below : current;
    accumulate(row, w, v, accumulator.get());

    if (completesRow) {
      finishRow(accumulator.get(), int32_t(destinationRowBytes), factor, outRow.get());
      std::memcpy(rowAt(destination, dh - rowsLeft), outRow.get(), size_t(destinationRowBytes));
      --rowsLeft;
    } else {
      ++t;
      std::swap(current, below);
      if (t + 1 < sh) std::memcpy(below, rowAt(source, t + 1), size_t(sourceRowBytes));
    }
  }
  return 1;
}

} // namespace tileron
