// Pixel buffers of released images, kept by size for the next image of that
// size: a steady render allocates the same few sizes every field, and fresh
// multi-megabyte blocks cost page faults and clearing each time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxhost {

// A buffer of `bytes` bytes: a kept one of that size when there is one, else
// a new one; zeroed when `cleared`. Null when out of memory. Safe from any thread.
uint8_t *takePixels(std::size_t bytes, bool cleared);

// Gives back a buffer takePixels made (null is ignored); it is kept for
// reuse while the pool holds less than its limit, else released. The size
// is the one it was made with, whatever the image says now. Safe from any thread.
void givePixels(uint8_t *pixels);

// Bytes of the buffers kept now (not counted as live images).
std::size_t pooledBytes();

// Releases every kept buffer.
void drainImagePool();

} // namespace vxhost
