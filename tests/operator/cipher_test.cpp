#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/cipher.hpp"

namespace tileron {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool refusedLength(std::size_t length) { return length <= 3 || length % 8 >= 4; }

Bytes randomBytes(std::size_t length, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(length);
  for (uint8_t &b : bytes) b = static_cast<uint8_t>(generator());
  return bytes;
}

// The built-in table keyed with the built-in key. Values computed once from
// this implementation and checked against a separate model written from the
// cipher's description; they pin table, key, schedule and round function.
TEST(PackCipher, KnownAnswerBlocks) {
  struct Case {
    uint32_t left, right, cipherLeft, cipherRight;
  };
  const Case cases[] = {
      {0x00000000u, 0x00000000u, 0xC43260E1u, 0x083EBC2Cu},
      {0xFFFFFFFFu, 0xFFFFFFFFu, 0x959AD6B8u, 0x764B67E7u},
      {0x01234567u, 0x89ABCDEFu, 0x003FAFDEu, 0x5CA04FD2u},
  };
  for (const Case &c : cases) {
    uint32_t l = c.left, r = c.right;
    packCipher().encipherBlock(l, r);
    EXPECT_EQ(l, c.cipherLeft);
    EXPECT_EQ(r, c.cipherRight);
    packCipher().decipherBlock(l, r);
    EXPECT_EQ(l, c.left);
    EXPECT_EQ(r, c.right);
  }
}

// Two chained blocks, words little-endian with the lower address on the left.
TEST(PackCipher, KnownAnswerBuffer) {
  const std::string text = "tileron packs!\n\n";
  Bytes buffer(text.begin(), text.end());
  ASSERT_EQ(cipherBuffer(buffer.data(), buffer.size(), CipherDirection::Encipher, true), 0);
  const Bytes expected = {0xF4, 0xE0, 0x81, 0x5E, 0x95, 0x72, 0xE9, 0x08,
                          0x41, 0x29, 0x54, 0xC8, 0x48, 0x73, 0xF7, 0xE7};
  EXPECT_EQ(buffer, expected);

  // The first block alone is the block cipher on the little-endian words.
  uint32_t l = 0x656C6974u, r = 0x206E6F72u; // "tile", "ron "
  packCipher().encipherBlock(l, r);
  EXPECT_EQ(l, 0x5E81E0F4u);
  EXPECT_EQ(r, 0x08E97295u);
}

CipherTable generatedTable(unsigned seed) {
  std::mt19937 generator(seed);
  CipherTable table;
  for (uint32_t &word : table) word = generator();
  return table;
}

std::pair<uint32_t, uint32_t> encipher(const BlockCipher &cipher, uint32_t l, uint32_t r) {
  cipher.encipherBlock(l, r);
  return {l, r};
}

TEST(PackCipher, ZeroTableAndKeyOnlySwapHalves) {
  const uint8_t zero = 0;
  const BlockCipher cipher(CipherTable{}, &zero, 1);
  EXPECT_EQ(encipher(cipher, 0x11223344u, 0xAABBCCDDu), std::make_pair(0xAABBCCDDu, 0x11223344u));
}

// The key runs on across P words, wrapping after its last byte, most
// significant byte first, and only touches the P words.
TEST(PackCipher, KeyScheduleXorsKeyStreamIntoPWords) {
  const CipherTable table = generatedTable(7);
  const uint8_t key[7] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD};
  CipherTable prekeyed = table;
  for (int i = 0; i < kCipherPWords; ++i)
    for (int b = 0; b < 4; ++b) prekeyed[i] ^= uint32_t{key[(4 * i + b) % 7]} << (24 - 8 * b);
  const uint8_t zero = 0;
  const BlockCipher keyed(table, key, 7), reference(prekeyed, &zero, 1);

  uint8_t doubled[14];
  for (int i = 0; i < 14; ++i) doubled[i] = key[i % 7];
  const BlockCipher keyedTwice(table, doubled, 14);
  const uint8_t rotated[7] = {0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0x01};
  const BlockCipher other(table, rotated, 7);

  for (uint32_t n = 0; n < 4; ++n) {
    const auto block = encipher(keyed, 0x9E3779B9u * n, ~n);
    EXPECT_EQ(block, encipher(reference, 0x9E3779B9u * n, ~n));
    EXPECT_EQ(block, encipher(keyedTwice, 0x9E3779B9u * n, ~n));
    EXPECT_NE(block, encipher(other, 0x9E3779B9u * n, ~n));
  }
}

TEST(PackCipher, RoundTripOfEveryLength) {
  for (std::size_t length = 0; length <= 40; ++length) {
    SCOPED_TRACE(length);
    const Bytes plain = randomBytes(length, static_cast<unsigned>(length));
    Bytes buffer = plain;
    const int result = cipherBuffer(buffer.data(), length, CipherDirection::Encipher, true);
    if (refusedLength(length)) {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(buffer, plain); // nothing touched
      EXPECT_EQ(cipherBuffer(buffer.data(), length, CipherDirection::Decipher, true), -1);
      continue;
    }
    ASSERT_EQ(result, 0);
    const std::size_t whole = length / 8 * 8;
    EXPECT_FALSE(std::equal(buffer.begin(), buffer.begin() + whole, plain.begin()));
    EXPECT_TRUE(std::equal(buffer.begin() + whole, buffer.end(), plain.begin() + whole));
    ASSERT_EQ(cipherBuffer(buffer.data(), length, CipherDirection::Decipher, true), 0);
    EXPECT_EQ(buffer, plain);
  }
  EXPECT_EQ(cipherBuffer(nullptr, 16, CipherDirection::Decipher, true), -1);
}

TEST(PackCipher, BlocksAreChained) {
  // Equal plain blocks give different cipher blocks.
  Bytes buffer(16, 'a');
  ASSERT_EQ(cipherBuffer(buffer.data(), 16, CipherDirection::Encipher, true), 0);
  EXPECT_FALSE(std::equal(buffer.begin(), buffer.begin() + 8, buffer.begin() + 8));

  // A bit flipped in the first cipher block flips the same bit of the second
  // plain block (and garbles the first).
  Bytes damaged = buffer;
  damaged[3] ^= 0x10;
  ASSERT_EQ(cipherBuffer(damaged.data(), 16, CipherDirection::Decipher, true), 0);
  EXPECT_NE(Bytes(damaged.begin(), damaged.begin() + 8), Bytes(8, 'a'));
  Bytes second(8, 'a');
  second[3] ^= 0x10;
  EXPECT_EQ(Bytes(damaged.begin() + 8, damaged.end()), second);

  // Without a reset the chaining value carries over between calls.
  Bytes halves(16, 'a');
  ASSERT_EQ(cipherBuffer(halves.data(), 8, CipherDirection::Encipher, true), 0);
  ASSERT_EQ(cipherBuffer(halves.data() + 8, 8, CipherDirection::Encipher, false), 0);
  EXPECT_EQ(halves, buffer);
}

class DecipherFile : public testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "cipher_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string &name, const Bytes &bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return (dir_ / name).string();
  }
  Bytes read(const std::string &name) {
    std::ifstream file(dir_ / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
  }
  std::string path(const std::string &name) const { return (dir_ / name).string(); }

  static Bytes enciphered(Bytes bytes) {
    EXPECT_EQ(cipherBuffer(bytes.data(), bytes.size(), CipherDirection::Encipher, true), 0);
    return bytes;
  }

  fs::path dir_;
};

TEST_F(DecipherFile, EachFileRestartsTheChain) {
  const Bytes plainA = randomBytes(24, 1), plainB = randomBytes(16, 2);
  const std::string a = write("a.dat", enciphered(plainA));
  const std::string b = write("b.dat", enciphered(plainB));
  // Leave a chaining value behind before the files.
  Bytes scratch = randomBytes(8, 3);
  cipherBuffer(scratch.data(), 8, CipherDirection::Decipher, false);

  ASSERT_EQ(decipherFile(a.c_str(), path("a.txt").c_str()), 0);
  ASSERT_EQ(decipherFile(b.c_str(), path("b.txt").c_str()), 0);
  EXPECT_EQ(read("a.txt"), plainA);
  EXPECT_EQ(read("b.txt"), plainB);
}

TEST_F(DecipherFile, ShortTailIsCopiedUnchanged) {
  for (std::size_t tail = 1; tail <= 3; ++tail) {
    const Bytes plain = randomBytes(16 + tail, static_cast<unsigned>(tail));
    const std::string in = write("t.dat", enciphered(plain));
    ASSERT_EQ(decipherFile(in.c_str(), path("t.txt").c_str()), 0);
    EXPECT_EQ(read("t.txt"), plain);
  }
}

TEST_F(DecipherFile, RefusedLengthsWriteNothingAndKeepErrno) {
  for (std::size_t length : {0, 3, 4, 7, 12, 15, 21}) {
    SCOPED_TRACE(length);
    const std::string in = write("r.dat", randomBytes(length, 9));
    errno = 1234;
    EXPECT_EQ(decipherFile(in.c_str(), path("r.txt").c_str()), -1);
    EXPECT_EQ(errno, 1234);
    EXPECT_FALSE(fs::exists(path("r.txt")));
  }
}

TEST_F(DecipherFile, FailuresSetTheirCodes) {
  const std::string in = write("ok.dat", randomBytes(16, 4));
  EXPECT_EQ(decipherFile(path("missing.dat").c_str(), path("x.txt").c_str()), -1);
  EXPECT_EQ(errno, kCipherErrOpenInput);
  EXPECT_EQ(decipherFile(dir_.c_str(), path("x.txt").c_str()), -1); // a folder
  EXPECT_EQ(errno, kCipherErrOpenInput);
  EXPECT_EQ(decipherFile(in.c_str(), path("no/such/dir/x.txt").c_str()), -1);
  EXPECT_EQ(errno, kCipherErrOpenOutput);
  const std::string large = write("large.dat", Bytes(kMaxPackIndexBytes + 8, 0));
  EXPECT_EQ(decipherFile(large.c_str(), path("x.txt").c_str()), -1);
  EXPECT_EQ(errno, kCipherErrMemory);
  EXPECT_FALSE(fs::exists(path("x.txt")));
  // The write is buffered: the failure shows when the file is closed.
  if (fs::exists("/dev/full")) {
    EXPECT_EQ(decipherFile(in.c_str(), "/dev/full"), -1);
    EXPECT_EQ(errno, kCipherErrWrite);
  }
}

} // namespace
} // namespace tileron
