#include "host/images/image_pool.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace vxhost {
namespace {

// Enough for the working images of a 4K render with several parts; beyond
// it, buffers are released as before.
constexpr std::size_t kPoolLimitBytes = std::size_t{256} << 20;

// Each buffer is a block whose first kHeader bytes hold its size; the
// pixels follow, aligned as malloc aligns.
constexpr std::size_t kHeader = alignof(std::max_align_t);

uint8_t *pixelsOf(void *block) { return static_cast<uint8_t *>(block) + kHeader; }
void *blockOf(uint8_t *pixels) { return pixels - kHeader; }
std::size_t sizeOf(uint8_t *pixels) {
  std::size_t bytes;
  std::memcpy(&bytes, blockOf(pixels), sizeof bytes);
  return bytes;
}

uint8_t *newPixels(std::size_t bytes, bool cleared) {
  if (bytes > SIZE_MAX - kHeader)
    return nullptr;
  void *block = cleared ? std::calloc(kHeader + bytes, 1) : std::malloc(kHeader + bytes);
  if (!block)
    return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  return pixelsOf(block);
}

struct Pool {
  std::mutex mutex;
  std::unordered_map<std::size_t, std::vector<uint8_t *>> free; // by size in bytes
  std::size_t bytes = 0;
};

Pool &pool() {
  static Pool *const instance = new Pool; // never destroyed: images may be freed during exit
  return *instance;
}

} // namespace

uint8_t *takePixels(std::size_t bytes, bool cleared) {
  Pool &p = pool();
  uint8_t *pixels = nullptr;
  {
    const std::lock_guard<std::mutex> lock(p.mutex);
    const auto found = p.free.find(bytes);
    if (found != p.free.end() && !found->second.empty()) {
      pixels = found->second.back();
      found->second.pop_back();
      p.bytes -= bytes;
    }
  }
  if (!pixels)
    return newPixels(bytes, cleared);
  if (cleared)
    std::memset(pixels, 0, bytes);
  return pixels;
}

void givePixels(uint8_t *pixels) {
  if (!pixels)
    return;
  const std::size_t bytes = sizeOf(pixels);
  Pool &p = pool();
  {
    const std::lock_guard<std::mutex> lock(p.mutex);
    if (p.bytes + bytes <= kPoolLimitBytes) {
      p.free[bytes].push_back(pixels);
      p.bytes += bytes;
      return;
    }
  }
  std::free(blockOf(pixels));
}

std::size_t pooledBytes() {
  Pool &p = pool();
  const std::lock_guard<std::mutex> lock(p.mutex);
  return p.bytes;
}

void drainImagePool() {
  Pool &p = pool();
  const std::lock_guard<std::mutex> lock(p.mutex);
  for (auto &[bytes, buffers] : p.free)
    for (uint8_t *pixels : buffers)
      std::free(blockOf(pixels));
  p.free.clear();
  p.bytes = 0;
}

} // namespace vxhost
