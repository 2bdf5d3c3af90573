#include "masks/resampler.hpp"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "masks/resampler_kernels.hpp"

namespace tileron {

namespace {

// Boundaries closer than this count as one (the destination boundary wins).
constexpr double kTolerance = 0.0001;

// Working memory beyond this is not requested: no mask image comes near it
// (16-bit image sizes need well under a megabyte), and a malformed plane must
// not make the allocator hand out gigabytes.
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

void fillPlane(const ImagePlane &plane, uint8_t value) {
  const size_t rowBytes = size_t(plane.width) * size_t(plane.bytesPerPixel);
  for (int32_t row = 0; row < plane.height; ++row) std::memset(rowAt(plane, row), value, rowBytes);
}

template <typename T> std::unique_ptr<T[]> allocate(int64_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[size_t(count)]);
}

} // namespace

void buildSegmentTable(double cx, int32_t sourceWidth, int32_t destinationWidth, double *table) {
  double source = 1.0; // next source boundary
  double h = 0.0;      // the next destination boundary is h + cx
  double sum = 0.0;
  const int32_t entries = sourceWidth + destinationWidth;
  for (int32_t n = 0; n < entries; ++n) {
    double end;
    if (source + kTolerance < h + cx) {
      end = source;
      source += 1.0;
    } else {
      end = h + cx;
      h += cx;
    }
    table[n] = end - sum;
    sum += table[n];
  }
}

void accumulateSegment(const SegmentRow &row, const double *table, double cx, double w, float v,
                       double *accumulator) {
  const int32_t n = row.bytesPerPixel;
  const int32_t entries = row.sourceWidth + row.destinationWidth;
  const float oneMinusV = 1.0f - v;
  int32_t k = 0; // source pixel
  int32_t i = 0; // destination pixel
  double a = 0.0; // the next destination boundary is a + cx
  // k < sourceWidth only guards memory: with the tolerance far above the
  // rounding of the running boundaries, the last destination boundary always
  // comes before source boundary sourceWidth.
  for (int32_t entry = 0; entry < entries && i < row.destinationWidth && k < row.sourceWidth;
       ++entry) {
    const bool sourceBoundary = double(k) + 1.0 + kTolerance < a + cx;
    float c = 1.0f;
    if (!sourceBoundary) {
      c = float(a + cx - double(k));
      a += cx;
    }
    const float oneMinusC = 1.0f - c;
    const double d = w * table[entry];
    const int32_t right = k < row.sourceWidth - 1 ? k + 1 : k;
    const uint8_t *p = row.current + size_t(k) * n;
    const uint8_t *pr = row.current + size_t(right) * n;
    const uint8_t *q = row.next + size_t(k) * n;
    const uint8_t *qr = row.next + size_t(right) * n;
    double *sums = accumulator + size_t(i) * n;
    for (int32_t component = 0; component < n; ++component) {
      switch (row.mode) {
      case 0:
        sums[component] += double(p[component]) * d;
        break;
      case 1: {
        const float value = float(p[component]) * oneMinusV + float(q[component]) * v;
        sums[component] += double(value) * d;
        break;
      }
      case 2: {
        const float value = float(pr[component]) * c + float(p[component]) * oneMinusC;
        sums[component] += double(value) * d;
        break;
      }
      default: {
        const float top = float(pr[component]) * c + float(p[component]) * oneMinusC;
        const float bottom = float(qr[component]) * c + float(q[component]) * oneMinusC;
        const float value = top * oneMinusV + bottom * v;
        sums[component] += double(value) * d;
        break;
      }
      }
    }
    if (sourceBoundary)
      ++k;
    else
      ++i;
  }
}

void finishRow(double *accumulator, int32_t count, double factor, uint8_t *destination) {
  for (int32_t x = 0; x < count; ++x) {
    // Truncation toward zero; the low 8 bits are the byte.
    destination[x] = uint8_t(int32_t(accumulator[x] * factor) & 0xFF);
    accumulator[x] = 0.0;
  }
}

int resamplePlane(const ImagePlane &source, const ImagePlane &destination) {
  if (!planeIsUsable(destination)) return 0;
  const auto fail = [&destination] {
    fillPlane(destination, 255);
    return 0;
  };
  if (!planeIsUsable(source) || source.bytesPerPixel != destination.bytesPerPixel) return fail();

  const int32_t sw = source.width, sh = source.height;
  const int32_t dw = destination.width, dh = destination.height;
  const int32_t n = source.bytesPerPixel;
  const int64_t sourceRowBytes = int64_t{sw} * n;
  const int64_t destinationRowBytes = int64_t{dw} * n;
  const int64_t tableEntries = int64_t{sw} + dw;
  const int64_t workingBytes = 2 * sourceRowBytes + destinationRowBytes +
                               destinationRowBytes * int64_t(sizeof(double)) +
                               tableEntries * int64_t(sizeof(double));
  if (workingBytes > kMaxWorkingBytes) return fail();
  auto rowA = allocate<uint8_t>(sourceRowBytes);
  auto rowB = allocate<uint8_t>(sourceRowBytes);
  auto outRow = allocate<uint8_t>(destinationRowBytes);
  auto accumulator = allocate<double>(destinationRowBytes);
  auto table = allocate<double>(tableEntries);
  if (!rowA || !rowB || !outRow || !accumulator || !table) return fail();

  const double cx = double(sw) / double(dw);
  const double cy = double(sh) / double(dh);
  const double factor = 1.0 / (cy * cx);
  SegmentRow row;
  row.mode = (cx < 1.0 ? 2 : 0) + (cy < 1.0 ? 1 : 0);
  row.sourceWidth = sw;
  row.destinationWidth = dw;
  row.bytesPerPixel = n;

  buildSegmentTable(cx, sw, dw, table.get());
  std::fill_n(accumulator.get(), destinationRowBytes, 0.0);

  uint8_t *current = rowA.get(); // source row t
  uint8_t *below = rowB.get();   // source row t + 1, when it exists
  std::memcpy(current, rowAt(source, 0), size_t(sourceRowBytes));
  if (sh > 1) std::memcpy(below, rowAt(source, 1), size_t(sourceRowBytes));

  int32_t t = 0;
  double o = 0.0;   // the next destination boundary is o + cy
  double sum = 0.0; // vertical extent covered so far
  int32_t rowsLeft = dh;
  while (rowsLeft > 0) {
    const double j = double(t) + 1.0; // next source boundary
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
    accumulateSegment(row, table.get(), cx, w, v, accumulator.get());

    if (completesRow) {
      finishRow(accumulator.get(), int32_t(destinationRowBytes), factor, outRow.get());
      std::memcpy(rowAt(destination, dh - rowsLeft), outRow.get(), size_t(destinationRowBytes));
      --rowsLeft;
    } else {
      t += 1;
      std::swap(current, below);
      if (t + 1 < sh) std::memcpy(below, rowAt(source, t + 1), size_t(sourceRowBytes));
    }
  }
  return 1;
}

} // namespace tileron
