// Pack index cipher: a 16-round Feistel block cipher (64-bit blocks, P-array
// of 18 words and four 256-word S-boxes, keyed once) used in cipher-block
// chaining over whole files. Blocks are read as two little-endian 32-bit
// words, the word at the lower address being the left half.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tileron {

inline constexpr int kCipherPWords = 18;
inline constexpr int kCipherSBoxWords = 256;
// 18 P words followed by four S-boxes of 256 words.
inline constexpr int kCipherTableWords = kCipherPWords + 4 * kCipherSBoxWords;

// Largest pack index file decipherFile reads; a larger one fails as if its
// buffer could not be had.
inline constexpr std::size_t kMaxPackIndexBytes = std::size_t{1} << 20;

// errno values of decipherFile.
inline constexpr int kCipherErrOpenInput = 0x14A0001;
inline constexpr int kCipherErrWrite = 0x14A0003;
inline constexpr int kCipherErrOpenOutput = 0x14A0004;
inline constexpr int kCipherErrRead = 0x14A0005;
inline constexpr int kCipherErrMemory = 0x14A0006;

using CipherTable = std::array<uint32_t, kCipherTableWords>;

// The operator's own initial table (generated once by tileron-ciphertable and
// committed as cipher_table.cpp). Every installed pack index is enciphered
// with this table and the built-in key.
extern const CipherTable kCipherInitialTable;

// One keyed cipher state.
class BlockCipher {
public:
  // Copies `table` and runs the key schedule with `key` (keyLength >= 1 bytes,
  // used cyclically).
  BlockCipher(const CipherTable &table, const uint8_t *key, std::size_t keyLength);

  // Enciphers / deciphers one block in place.
  void encipherBlock(uint32_t &left, uint32_t &right) const;
  void decipherBlock(uint32_t &left, uint32_t &right) const;

private:
  uint32_t f(uint32_t x) const;

  CipherTable state_; // P[0..17], then S0, S1, S2, S3
};

// The pack cipher: the initial table keyed with the built-in 7-byte key, keyed
// on first use and kept for the life of the process.
const BlockCipher &packCipher();

enum class CipherDirection { Encipher, Decipher };

// Runs the pack cipher in chaining mode over `buffer` in place. The chaining
// value is process-wide; `resetChain` starts it from zero (each file does).
// Returns 0, or -1 for a null buffer or a length that is 3 or less or 8k + 4
// to 8k + 7 (the last half block would reach past the buffer). A tail of 1 to
// 3 bytes after the last whole block is left as it is.
int cipherBuffer(uint8_t *buffer, std::size_t length, CipherDirection direction, bool resetChain);

// Deciphers the file at `inputPath` into `outputPath` (both complete paths;
// the output is created or truncated). Returns 0, or -1 with errno set to one
// of the kCipherErr codes (anything but a regular file cannot be opened); a
// length cipherBuffer refuses returns -1 with errno untouched and writes
// nothing.
int decipherFile(const char *inputPath, const char *outputPath);

} // namespace tileron
