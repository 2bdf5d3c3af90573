// Prints one line per field of a 4:4:4 Y4M file (C444, as `render -o
// NAME.y4m` writes it): "field, width, height, bytes, crc32". A field's
// bytes are its lines (parity, parity + 2, …) of the Y plane, then of U,
// then of V; crc32 is the common zlib/PNG CRC-32 of those bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/crc.h>
}

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: regress-fields FILE.y4m\n");
    return 2;
  }
  std::FILE *file = std::fopen(argv[1], "rb");
  if (!file) {
    std::fprintf(stderr, "regress-fields: cannot read %s\n", argv[1]);
    return 1;
  }
  char header[512];
  if (!std::fgets(header, sizeof header, file) || std::strncmp(header, "YUV4MPEG2 ", 10) != 0 ||
      !std::strstr(header, " C444")) {
    std::fprintf(stderr, "regress-fields: %s is not a 4:4:4 Y4M file\n", argv[1]);
    return 1;
  }
  int width = 0, height = 0;
  if (const char *w = std::strstr(header, " W"))
    width = std::atoi(w + 2);
  if (const char *h = std::strstr(header, " H"))
    height = std::atoi(h + 2);
  if (width <= 0 || height <= 0 || height % 2) {
    std::fprintf(stderr, "regress-fields: %s has no usable size\n", argv[1]);
    return 1;
  }
  const size_t plane = size_t(width) * height;
  std::vector<uint8_t> frame(3 * plane), field(3 * plane / 2);
  const AVCRC *table = av_crc_get_table(AV_CRC_32_IEEE_LE);
  char magic[6];
  for (int number = 0; std::fread(magic, 1, 6, file) == 6; ++number) {
    if (std::memcmp(magic, "FRAME\n", 6) != 0 || std::fread(frame.data(), 1, frame.size(), file) != frame.size()) {
      std::fprintf(stderr, "regress-fields: %s: frame %d is damaged or cut short\n", argv[1], number);
      return 1;
    }
    for (int parity = 0; parity < 2; ++parity) {
      uint8_t *out = field.data();
      for (int p = 0; p < 3; ++p)
        for (int y = parity; y < height; y += 2, out += width)
          std::memcpy(out, frame.data() + p * plane + size_t(y) * width, size_t(width));
      const uint32_t crc = av_crc(table, 0xFFFFFFFFu, field.data(), field.size()) ^ 0xFFFFFFFFu;
      std::printf("%d, %d, %d, %zu, %08x\n", 2 * number + parity, width, height / 2, field.size(), unsigned(crc));
    }
  }
  std::fclose(file);
  return 0;
}
