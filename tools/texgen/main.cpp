// tileron-texgen: writes the bundled texture library, 256 x 256 RGB PNGs that
// tile seamlessly. Deterministic: only integer hashing and correctly rounded
// floating-point operations (+ - * / sqrt, no libm transcendentals, no
// contraction), so every machine makes the same pixels.
#include "host/support/png.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/support/command_line.hpp"

namespace {

constexpr int kSize = 256;

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb scale(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }

double fract(double v) { return v - std::floor(v); }
double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 15;
  h *= 0x2c1b3c6du;
  h ^= h >> 12;
  h *= 0x297a2d39u;
  h ^= h >> 15;
  return h;
}
double unit(uint32_t h) { return double(h) / 4294967296.0; }

int wrap(int v, int period) { return ((v % period) + period) % period; }

// Value noise on a lattice of px x py cells over the picture, wrapping at its
// edges so the picture tiles. u, v in 0..1 across the picture.
double noise(double u, double v, int px, int py, uint32_t seed) {
  const double x = u * px, y = v * py;
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const double tx = smooth(x - x0), ty = smooth(y - y0);
  const auto at = [&](int dx, int dy) {
    return unit(hash(uint32_t(wrap(x0 + dx, px)), uint32_t(wrap(y0 + dy, py)), seed));
  };
  const double top = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
  const double bottom = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
  return top + (bottom - top) * ty;
}

// Octaves of noise, each twice as fine and half as strong; 0..1.
double fbm(double u, double v, int px, int py, int octaves, uint32_t seed) {
  double sum = 0, amplitude = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amplitude * noise(u, v, px << o, py << o, seed + uint32_t(o) * 101u);
    total += amplitude;
    amplitude *= 0.5;
  }
  return sum / total;
}

// Distances to the nearest and second nearest of one random point per cell of
// an n x n grid (wrapping), in cell units, and the nearest point's cell hash.
struct Cells {
  double f1, f2;
  uint32_t id;
};
Cells cells(double u, double v, int n, uint32_t seed) {
  const double x = u * n, y = v * n;
  const int cx = int(std::floor(x)), cy = int(std::floor(y));
  Cells out{1e9, 1e9, 0};
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx) {
      const uint32_t h = hash(uint32_t(wrap(cx + dx, n)), uint32_t(wrap(cy + dy, n)), seed);
      const double fx = cx + dx + 0.15 + 0.7 * unit(h);
      const double fy = cy + dy + 0.15 + 0.7 * unit(hash(h, 7u, seed));
      const double d = std::sqrt((fx - x) * (fx - x) + (fy - y) * (fy - y));
      if (d < out.f1) {
        out.f2 = out.f1;
        out.f1 = d;
        out.id = h;
      } else if (d < out.f2) {
        out.f2 = d;
      }
    }
  return out;
}

// Warm grain running across, with growth rings bent by noise.
Rgb wood(double u, double v) {
  const double rings = fract(v * 7 + fbm(u, v, 2, 2, 3, 11) * 1.6 + noise(u, v, 1, 4, 14) * 0.8);
  const double ring = smooth(clamp01(rings < 0.85 ? rings / 0.85 : (1.0 - rings) / 0.15));
  const double grain = noise(u, v, 8, 128, 12) * 0.6 + noise(u, v, 16, 256, 15) * 0.4;
  const Rgb light{206, 152, 96}, dark{124, 74, 38};
  return scale(mix(dark, light, ring * 0.7 + grain * 0.3), 0.92 + 0.08 * fbm(u, v, 8, 8, 3, 13));
}

// White stone with grey-green veins where turbulence folds a band pattern.
Rgb marble(double u, double v) {
  const double t = u * 2 + v + fbm(u, v, 3, 3, 5, 21) * 2.2;
  const double band = std::abs(fract(t) * 2 - 1); // 0 on a vein
  const double vein = 1.0 - smooth(clamp01(band * 7));
  const double cloud = fbm(u, v, 8, 8, 4, 22);
  const Rgb base = mix(Rgb{226, 224, 218}, Rgb{245, 244, 240}, cloud);
  return mix(base, Rgb{96, 108, 104}, vein * 0.85);
}

// Fine horizontal streaks over a cool grey.
Rgb brushedMetal(double u, double v) {
  const double streak = noise(u, v, 2, 256, 31) * 0.55 + noise(u, v, 8, 128, 32) * 0.3 +
                        unit(hash(uint32_t(u * kSize), uint32_t(v * kSize), 33)) * 0.15;
  const double sheen = fbm(u, v, 2, 2, 2, 34);
  return scale(Rgb{176, 180, 188}, 0.78 + 0.22 * streak + 0.08 * sheen);
}

// Plain weave: threads 8 pixels wide, over and under in a checker, each
// rounded across its width and slightly irregular along it.
Rgb fabric(double u, double v) {
  const int x = int(u * kSize), y = int(v * kSize);
  const int cx = x / 8, cy = y / 8;
  const bool warp = (cx + cy) % 2 == 0;
  const double across = ((warp ? x : y) % 8 + 0.5) / 8.0 * 2 - 1;
  const double round = 1.0 - across * across;
  const double fibre = warp ? noise(u, v, 32, 128, 41) : noise(u, v, 128, 32, 42);
  const Rgb colour = warp ? Rgb{62, 78, 130} : Rgb{52, 64, 110};
  return scale(colour, 0.55 + 0.35 * round + 0.2 * fibre);
}

// Irregular stones of varied grey-brown set in darker mortar, with grit.
Rgb stone(double u, double v) {
  const Cells c = cells(u, v, 6, 51);
  const double shade = unit(c.id);
  const Rgb rock = mix(Rgb{112, 104, 96}, Rgb{170, 160, 146}, shade);
  const double grit = fbm(u, v, 16, 16, 3, 52);
  const double edge = smooth(clamp01((c.f2 - c.f1) / 0.12));
  return mix(Rgb{58, 54, 50}, scale(rock, 0.8 + 0.3 * grit), edge);
}

// Off-white sheet with soft clouding, fibres and a few specks.
Rgb paper(double u, double v) {
  const double cloud = fbm(u, v, 4, 4, 4, 61);
  const double fibres = noise(u, v, 64, 16, 62) * noise(u, v, 16, 64, 63);
  const uint32_t speck = hash(uint32_t(u * kSize), uint32_t(v * kSize), 64);
  Rgb c = scale(Rgb{240, 235, 222}, 0.95 + 0.05 * cloud - 0.04 * fibres);
  if (speck % 1500 == 0) c = scale(c, 0.75);
  return c;
}

struct Texture {
  const char *file;
  std::function<Rgb(double, double)> colour;
};

uint8_t toByte(double value) { return uint8_t(std::clamp(value, 0.0, 255.0) + 0.5); }

bool writePng(const std::filesystem::path &path, const std::vector<uint8_t> &rgb) {
  std::string error;
  if (vxhost::writePng(path, kSize, kSize, 3, rgb.data(), rgb.size(), error)) return true;
  std::cerr << "tileron-texgen: " << error << "\n";
  return false;
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Writes the texture library: 256 x 256 RGB PNGs that tile seamlessly.", "tileron-texgen"};
  std::filesystem::path out = std::filesystem::path(VXHOST_DATA_DIR) / "textures";
  app.add_option("-o,--out", out, "folder to write the textures into")->capture_default_str();
  if (const int status = vxhost::parseCommandLine(app, argc, argv); status >= 0)
    return status;

  const Texture textures[] = {{"wood.png", wood},       {"marble.png", marble},
                              {"brushed_metal.png", brushedMetal}, {"fabric.png", fabric},
                              {"stone.png", stone},     {"paper.png", paper}};
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (ec) {
    std::cerr << "tileron-texgen: cannot make " << out << ": " << ec.message() << "\n";
    return 1;
  }
  for (const Texture &t : textures) {
    std::vector<uint8_t> rgb(size_t(kSize) * kSize * 3);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const Rgb c = t.colour(double(x) / kSize, double(y) / kSize);
        uint8_t *p = &rgb[(size_t(y) * kSize + x) * 3];
        p[0] = toByte(c.r);
        p[1] = toByte(c.g);
        p[2] = toByte(c.b);
      }
    if (!writePng(out / t.file, rgb)) {
      std::cerr << "tileron-texgen: cannot write " << (out / t.file) << "\n";
      return 1;
    }
    std::cout << (out / t.file).string() << "\n";
  }
  return 0;
}
