// The pack index cipher and the mask catalogue over fuzzed packs. Input: one
// mode byte, then the pack bytes, then (after the first zero byte, if any)
// the text of a mask file m.xml. Mode bit 0 clear: the pack bytes are the
// deciphered index and are enciphered before they are written, so the lines
// are the fuzzer's; set: they are written as they are (the enciphered file).
// The mask directory also holds a.xml (a mask with a stamp map) and its
// stamp picture. The pack index, m.xml, a.xml and the deciphered index are
// memory files (the directory holds an empty fuzz.dat, for the listing);
// the stamp is decoded once.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_env.hpp"
#include "masks/catalogue.hpp"
#include "memory_files.hpp"
#include "masks/mask_paths.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "support/cipher.hpp"
#include "vxhost/xchar.h"

namespace {

constexpr const char *kCurrentMask = "/programs/tileron/mask/a.xml";

void writeFixtures() {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  testing_support::writeGreyPng(home.maskDir() / "stamp.png",
                                testing_support::GreyImage(16, 8, 0));
  fuzzing::writeText(home.maskDir() / "fuzz.dat", "");
  for (const char *name : {"fuzz.dat", "m.xml", "a.xml"}) fuzzing::keepInMemory(home.maskDir() / name);
  fuzzing::keepInMemory(home / tileron::kPackIndexTemporary);
  fuzzing::writeMemoryFile(home.maskDir() / "a.xml",
                           std::string("<splitscreen><name><english>Alpha</english></name>"
                                       "<stamp><filename>stamp.png</filename></stamp></splitscreen>"));
}

// Enciphering then deciphering gives the bytes back, for every length the
// cipher takes; the others are refused both ways.
void checkCipherRoundTrip(const std::vector<uint8_t> &plain) {
  std::vector<uint8_t> bytes = plain;
  const int encipher =
      tileron::cipherBuffer(bytes.data(), bytes.size(), tileron::CipherDirection::Encipher, true);
  const int decipher =
      tileron::cipherBuffer(bytes.data(), bytes.size(), tileron::CipherDirection::Decipher, true);
  if (encipher != decipher) fuzzing::fail("the cipher takes a length one way only");
  if (bytes != plain) fuzzing::fail("cipher round trip changed the bytes");
}

void checkCatalogue(const tileron::MaskCatalogue &catalogue) {
  const tileron::MaskInfo *previous = nullptr;
  for (const tileron::MaskInfo *entry = tileron::firstMask(catalogue); entry != nullptr;
       entry = tileron::nextMask(*entry)) {
    const std::string prefix = tileron::kMaskDirectory;
    if (entry->path.compare(0, prefix.size(), prefix) != 0 ||
        !tileron::staysInMaskDirectory(entry->path.substr(prefix.size())))
      fuzzing::fail("an entry outside the mask directory");
    if (entry->title.empty() || entry->title.back() != 0) fuzzing::fail("an unterminated title");
    if (previous != nullptr && xcscmp(previous->title.data(), entry->title.data()) > 0)
      fuzzing::fail("the catalogue is out of order");
    previous = entry;
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome::get();
  writeFixtures();
  fuzzing::logToMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  const bool raw = (data[0] & 1) != 0;
  const uint8_t *rest = data + 1;
  const size_t restSize = size - 1;
  const auto *zero = static_cast<const uint8_t *>(std::memchr(rest, 0, restSize));
  const size_t packSize = zero != nullptr ? size_t(zero - rest) : restSize;

  std::vector<uint8_t> pack(rest, rest + packSize);
  checkCipherRoundTrip(pack);
  if (!raw)
    tileron::cipherBuffer(pack.data(), pack.size(), tileron::CipherDirection::Encipher, true);
  fuzzing::writeMemoryFile(home.maskDir() / "fuzz.dat", pack.data(), pack.size());
  const std::filesystem::path extra = home.maskDir() / "m.xml";
  if (zero != nullptr)
    fuzzing::writeMemoryFile(extra, zero + 1, restSize - packSize - 1);
  else
    fuzzing::removeMemoryFile(extra);

  tileron::MaskCatalogue *catalogue = tileron::buildMaskCatalogue();
  if (catalogue == nullptr) fuzzing::fail("no catalogue for a readable mask directory");
  if (fuzzing::memoryFileExists(home / tileron::kPackIndexTemporary))
    fuzzing::fail("the deciphered index was left behind");
  checkCatalogue(*catalogue);
  if (tileron::openMaskCatalogue(catalogue, kCurrentMask) != catalogue)
    fuzzing::fail("the catalogue was not opened");
  checkCatalogue(*catalogue);
  tileron::releaseThumbnails(catalogue);
  tileron::freeMaskCatalogue(catalogue);
  fuzzing::expectNoLiveImages();
  return 0;
}
