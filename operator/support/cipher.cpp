#include "support/cipher.hpp"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "support/handles.hpp"

namespace tileron {

namespace {

// The built-in key. Changing it (or the table) makes every installed pack
// index unreadable.
constexpr uint8_t kPackKey[7] = {0x6B, 0xD2, 0x1F, 0x94, 0x3E, 0xA7, 0x58};

constexpr int kS0 = kCipherPWords;
constexpr int kS1 = kS0 + kCipherSBoxWords;
constexpr int kS2 = kS1 + kCipherSBoxWords;
constexpr int kS3 = kS2 + kCipherSBoxWords;

struct ChainValue {
  uint32_t left = 0, right = 0;
};
// Process-wide, like the keyed state; each file starts it from zero.
ChainValue chain;

uint32_t loadWord(const uint8_t *bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

void storeWord(uint8_t *bytes, uint32_t word) {
  bytes[0] = static_cast<uint8_t>(word);
  bytes[1] = static_cast<uint8_t>(word >> 8);
  bytes[2] = static_cast<uint8_t>(word >> 16);
  bytes[3] = static_cast<uint8_t>(word >> 24);
}


} // namespace

BlockCipher::BlockCipher(const CipherTable &table, const uint8_t *key, std::size_t keyLength)
    : state_(table) {
  // Key bytes run on across P words without restarting, most significant first.
  std::size_t k = 0;
  for (int i = 0; i < kCipherPWords; ++i) {
    uint32_t word = 0;
    for (int b = 0; b < 4; ++b) {
      word = word << 8 | key[k];
      k = (k + 1) % keyLength;
    }
    state_[i] ^= word;
  }
  // 521 encipherments, each already seeing the words replaced before it.
  uint32_t left = 0, right = 0;
  for (int i = 0; i < kCipherTableWords; i += 2) {
    encipherBlock(left, right);
    state_[i] = left;
    state_[i + 1] = right;
  }
}

uint32_t BlockCipher::f(uint32_t x) const {
  const uint32_t a = x >> 24, b = (x >> 16) & 0xFF, c = (x >> 8) & 0xFF, d = x & 0xFF;
  return ((state_[kS0 + a] + state_[kS1 + b]) ^ state_[kS2 + c]) + state_[kS3 + d];
}

void BlockCipher::encipherBlock(uint32_t &left, uint32_t &right) const {
  uint32_t l = left, r = right;
  for (int i = 0; i < 16; i += 2) {
    l ^= state_[i];
    r ^= f(l) ^ state_[i + 1];
    l ^= f(r);
  }
  left = r ^ state_[17];
  right = l ^ state_[16];
}

void BlockCipher::decipherBlock(uint32_t &left, uint32_t &right) const {
  uint32_t l = left, r = right;
  for (int i = 17; i > 1; i -= 2) {
    l ^= state_[i];
    r ^= f(l) ^ state_[i - 1];
    l ^= f(r);
  }
  left = r ^ state_[0];
  right = l ^ state_[1];
}

const BlockCipher &packCipher() {
  static const BlockCipher cipher(kCipherInitialTable, kPackKey, sizeof kPackKey);
  return cipher;
}

int cipherBuffer(uint8_t *buffer, std::size_t length, CipherDirection direction, bool resetChain) {
  const BlockCipher &cipher = packCipher();
  if (resetChain) chain = {};
  // Whole 32-bit words taken two to a block, rounded up: a length of 8k + 4
  // to 8k + 7 would need four bytes past the end, so it is refused.
  if (buffer == nullptr || length <= 3 || length % 8 >= 4) return -1;
  const std::size_t blocks = length / 8;
  for (std::size_t n = 0; n < blocks; ++n) {
    uint8_t *block = buffer + 8 * n;
    uint32_t left = loadWord(block), right = loadWord(block + 4);
    if (direction == CipherDirection::Decipher) {
      const ChainValue enciphered{left, right};
      cipher.decipherBlock(left, right);
      left ^= chain.left;
      right ^= chain.right;
      chain = enciphered;
    } else {
      left ^= chain.left;
      right ^= chain.right;
      cipher.encipherBlock(left, right);
      chain = {left, right};
    }
    storeWord(block, left);
    storeWord(block + 4, right);
  }
  return 0;
}

int decipherFile(const char *inputPath, const char *outputPath) {
  // A folder opens as a stream here but has no bytes to read, only a
  // meaningless length; it cannot be opened as a file.
  std::error_code error;
  FilePtr input(std::filesystem::is_regular_file(inputPath, error) ? std::fopen(inputPath, "rb") : nullptr);
  if (!input) {
    errno = kCipherErrOpenInput;
    return -1;
  }
  long size = -1;
  if (std::fseek(input.get(), 0, SEEK_END) == 0) size = std::ftell(input.get());
  if (size < 0 || std::fseek(input.get(), 0, SEEK_SET) != 0) {
    errno = kCipherErrRead;
    return -1;
  }
  const auto length = static_cast<std::size_t>(size);
  // One byte at least, so an empty file is refused by the cipher rather than
  // taken for a failed allocation. Index files are a few hundred bytes: one
  // beyond kMaxPackIndexBytes is not given the memory.
  std::unique_ptr<uint8_t[]> buffer(
      length <= kMaxPackIndexBytes ? new (std::nothrow) uint8_t[length > 0 ? length : 1] : nullptr);
  if (!buffer) {
    errno = kCipherErrMemory;
    return -1;
  }
  if (std::fread(buffer.get(), 1, length, input.get()) != length) {
    errno = kCipherErrRead;
    return -1;
  }
  input.reset();
  if (cipherBuffer(buffer.get(), length, CipherDirection::Decipher, true) != 0) return -1;

  FilePtr output(std::fopen(outputPath, "wb"));
  if (!output) {
    errno = kCipherErrOpenOutput;
    return -1;
  }
  const bool written = std::fwrite(buffer.get(), 1, length, output.get()) == length;
  // The close flushes: a failure there is a short write too.
  if (std::fclose(output.release()) != 0 || !written) {
    errno = kCipherErrWrite;
    return -1;
  }
  return 0;
}

} // namespace tileron
