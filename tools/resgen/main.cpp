// tileron-resgen: draws the icons of the resource sets "tileron" and "gui"
// and writes them as PNG files, <out>/<set>/images/<number>.png.
#include "host/support/command_line.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/resgen/canvas.hpp"

namespace fs = std::filesystem;
using namespace resgen;

namespace {

// Anchor buttons, 24 x 18: the part's box with the picture at one of nine
// places (1 top left ... 9 bottom right, reading order); 0 = no anchor, the
// nine places as dots.
Canvas anchorIcon(int anchor) {
  Canvas c(24, 18);
  c.outlined(frame(1.5f, 1.5f, 22.5f, 16.5f, 1.5f), kLight);
  if (anchor == 0) {
    for (float y : {6.0f, 9.0f, 12.0f})
      for (float x : {7.0f, 12.0f, 17.0f})
        c.fill(circle(x, y, 1.3f), kLight);
    return c;
  }
  const float x0 = 4.0f + 4.0f * float((anchor - 1) % 3);
  const float y0 = 4.0f + 2.0f * float((anchor - 1) / 3);
  c.fill(rect(x0, y0, x0 + 8.0f, y0 + 6.0f), kAccent);
  return c;
}

// The part pointer, 32 x 32: cross hairs; the hot spot is the centre.
Canvas partPointer() {
  Canvas c(32, 32);
  const Shape hairs = unite(unite(line(16, 3, 16, 11, 2), line(16, 21, 16, 29, 2)),
                            unite(line(3, 16, 11, 16, 2), line(21, 16, 29, 16, 2)));
  c.outlined(unite(hairs, ring(16, 16, 4.5f, 1.6f)), kWhite);
  return c;
}

// The drag pointer, 32 x 32: arrows in the four directions.
Canvas dragPointer() {
  Canvas c(32, 32);
  Shape arrows = unite(line(16, 6, 16, 26, 2), line(6, 16, 26, 16, 2));
  arrows = unite(arrows, polygon({{16, 1}, {10.5f, 7.5f}, {21.5f, 7.5f}}));
  arrows = unite(arrows, polygon({{16, 31}, {10.5f, 24.5f}, {21.5f, 24.5f}}));
  arrows = unite(arrows, polygon({{1, 16}, {7.5f, 10.5f}, {7.5f, 21.5f}}));
  arrows = unite(arrows, polygon({{31, 16}, {24.5f, 10.5f}, {24.5f, 21.5f}}));
  c.outlined(arrows, kWhite);
  return c;
}

// Scene clear, 24 x 18: a picture frame struck through.
Canvas sceneClear() {
  Canvas c(24, 18);
  c.outlined(frame(3, 2, 21, 16, 1.5f), kLight);
  c.outlined(unite(line(8, 5, 16, 13, 2.5f), line(16, 5, 8, 13, 2.5f)), kRed);
  return c;
}

// Page buttons, 40 x 18: a page and an arrow to the other page (forward on
// the mask page, back on the part page).
Canvas pageIcon(bool forward) {
  Canvas c(40, 18);
  const float px = forward ? 4.0f : 24.0f;
  c.outlined(frame(px, 2, px + 12, 16, 1.5f), kLight);
  for (float y : {6.0f, 9.0f, 12.0f})
    c.fill(rect(px + 3, y - 0.5f, px + 9, y + 0.5f), kLight);
  if (forward)
    c.outlined(unite(line(20, 9, 31, 9, 2.5f), polygon({{37, 9}, {30, 3.5f}, {30, 14.5f}})), kAccent);
  else
    c.outlined(unite(line(9, 9, 20, 9, 2.5f), polygon({{3, 9}, {10, 3.5f}, {10, 14.5f}})), kAccent);
  return c;
}

// Stamp markers: kind 1..4 (long scene covering its box, long scene leaving
// a gap, short scene covering, short scene leaving a gap); the current part's
// marker is larger and ringed in white.
Canvas marker(int kind, bool current) {
  const int size = current ? 14 : 10;
  const float mid = float(size) / 2, r = current ? 5.0f : 4.0f;
  const Colour colour = kind <= 2 ? kGreen : kRed;
  const bool covers = kind == 1 || kind == 3;
  Canvas c(size, size);
  if (current)
    c.fill(circle(mid, mid, 7.0f), kWhite);
  c.fill(circle(mid, mid, r), kDark);
  c.fill(covers ? circle(mid, mid, r - 1) : ring(mid, mid, r - 1, 1.8f), colour);
  return c;
}

// GUI 20, placement, 24 x 18: the panel moves between the top and the bottom.
Canvas placementIcon() {
  Canvas c(24, 18);
  c.outlined(frame(2, 1, 22, 17, 1.5f), kLight);
  c.fill(rect(4.5f, 12.5f, 19.5f, 14.5f), kAccent);
  c.fill(unite(polygon({{12, 3}, {7.5f, 7.5f}, {16.5f, 7.5f}}), line(12, 7, 12, 10.5f, 2)), kLight);
  return c;
}

// GUI 23, 30 x 14: the gradient runs from colour A to colour B.
Canvas gradientArrow() {
  Canvas c(30, 14);
  c.outlined(unite(line(3, 7, 22, 7, 3), polygon({{28, 7}, {21, 1.5f}, {21, 12.5f}})), kLight);
  return c;
}

// GUI 43, compact, 24 x 18: arrows closing in on a bar.
Canvas compactIcon() {
  Canvas c(24, 18);
  c.fill(rect(11, 2, 13, 16), kAccent);
  const Shape left = unite(line(2, 9, 6.5f, 9, 2), polygon({{9.5f, 9}, {5.5f, 5}, {5.5f, 13}}));
  const Shape right = unite(line(22, 9, 17.5f, 9, 2), polygon({{14.5f, 9}, {18.5f, 5}, {18.5f, 13}}));
  c.outlined(unite(left, right), kLight);
  return c;
}

// GUI 48, exit, 24 x 18: out through a door.
Canvas exitIcon() {
  Canvas c(24, 18);
  c.outlined(frame(4, 1, 14, 17, 1.5f), kLight);
  c.outlined(unite(line(9, 9, 17, 9, 2.5f), polygon({{23, 9}, {17, 3.5f}, {17, 14.5f}})), kAccent);
  return c;
}

// GUI 69, about, 24 x 18: an "i" in a disc.
Canvas aboutIcon() {
  Canvas c(24, 18);
  c.outlined(circle(12, 9, 7.5f), kAccent);
  c.fill(circle(12, 5, 1.4f), kDark);
  c.fill(rect(10.9f, 7.3f, 13.1f, 13.8f), kDark);
  return c;
}

bool write(const fs::path &dir, int number, const Canvas &canvas, int &count) {
  std::string error;
  if (!vxhost::writePng(dir / (std::to_string(number) + ".png"), canvas.picture(), error)) {
    std::fprintf(stderr, "tileron-resgen: %s\n", error.c_str());
    return false;
  }
  ++count;
  return true;
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Draws the icons of the resource sets \"tileron\" and \"gui\" as PNG files.", "tileron-resgen"};
  std::string out = std::string(VXHOST_DATA_DIR) + "/resources";
  app.add_option("--out", out, "resource folder to write <set>/images/<number>.png into")
      ->capture_default_str();
  if (const int status = vxhost::parseCommandLine(app, argc, argv); status >= 0)
    return status;

  const fs::path module = fs::path(out) / "tileron" / "images";
  const fs::path gui = fs::path(out) / "gui" / "images";
  std::error_code ec;
  for (const fs::path &dir : {module, gui})
    if (fs::create_directories(dir, ec); ec) {
      std::fprintf(stderr, "tileron-resgen: cannot make %s: %s\n", dir.c_str(), ec.message().c_str());
      return 1;
    }

  int count = 0;
  bool ok = write(module, 100, partPointer(), count) && write(module, 101, dragPointer(), count);
  for (int anchor = 0; anchor <= 9 && ok; ++anchor)
    ok = write(module, 199 + anchor, anchorIcon(anchor), count);
  ok = ok && write(module, 301, sceneClear(), count) && write(module, 400, pageIcon(true), count) &&
       write(module, 401, pageIcon(false), count);
  for (int kind = 1; kind <= 4 && ok; ++kind)
    ok = write(module, 500 + 2 * (kind - 1), marker(kind, true), count) &&
         write(module, 501 + 2 * (kind - 1), marker(kind, false), count);
  ok = ok && write(gui, 20, placementIcon(), count) && write(gui, 23, gradientArrow(), count) &&
       write(gui, 43, compactIcon(), count) && write(gui, 48, exitIcon(), count) &&
       write(gui, 69, aboutIcon(), count);
  if (!ok)
    return 1;
  std::printf("%d icons written to %s\n", count, out.c_str());
  return 0;
}
