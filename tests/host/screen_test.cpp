#include "host_fixture.hpp"
#include "vxhost/orvexagui.h"

namespace {

using ScreenTest = HostTest;

TEST_F(ScreenTest, QueriesReportTheScreenSetting) {
  vxhost::Screen s;
  s.width = 1280;
  s.height = 720;
  s.safeMargin = 32;
  s.pixelAspect = 1094;
  s.fontHeight = 16;
  s.addHeight = 8;
  s.videoMonitor = true;
  vxhost::setScreen(s);
  int32_t left = -1, top = -1, right = -1, bottom = -1;
  cgGetVisibleArea(&left, &top, &right, &bottom);
  EXPECT_EQ(left, 32);
  EXPECT_EQ(top, 32);
  EXPECT_EQ(right, 1247);
  EXPECT_EQ(bottom, 687);
  EXPECT_EQ(cgGetScreenWidth(), 1280);
  EXPECT_EQ(cgGetScreenHeight(), 720);
  EXPECT_EQ(cgGetPixelAspect(4), 1094);
  EXPECT_EQ(cgGetFontHeightMonitor(cgGetDefaultMonitor()) + cgGetAddHeight(), 24);
  EXPECT_EQ(cgGetConnectedMonitors(), CG_VIDEO_MONITOR_CONNECTED);
  vxhost::reset();
  cgGetVisibleArea(&left, &top, &right, &bottom);
  EXPECT_EQ(right - left + 1, 1920);
  EXPECT_EQ(bottom - top + 1, 1080);
  EXPECT_EQ(cgGetFontHeightMonitor(cgGetDefaultMonitor()) + cgGetAddHeight(), 20);
  EXPECT_EQ(cgGetConnectedMonitors(), 0);
}

TEST_F(ScreenTest, PointerCallsAreCounted) {
  cgBusyPointer();
  cgBusyPointer();
  cgStandardPointer();
  EXPECT_EQ(vxhost::callCounts().busyPointer, 2);
  EXPECT_EQ(vxhost::callCounts().standardPointer, 1);
}

TEST_F(ScreenTest, OverlayRectanglesAreClippedToTheScreen) {
  vxhost::setScreen({16, 16});
  // A 4 x 3 picture with its own row stride, laid partly off the top-left
  // corner and partly off the right edge.
  std::vector<uint32_t> picture(5 * 3);
  for (int i = 0; i < 15; ++i)
    picture[size_t(i)] = 0x10000000u + uint32_t(i);
  cgmxYUVAtoOvl(picture.data(), 0, 5 * 4, -1, -2, 4, 3);
  cgmxYUVAtoOvl(picture.data(), 0, 5 * 4, 14, 5, 4, 3);
  const std::vector<uint32_t> &plane = vxhost::overlayPlane();
  EXPECT_EQ(plane[0], 0x1000000Bu); // row 2, column 1
  EXPECT_EQ(plane[2], 0x1000000Du);
  EXPECT_EQ(plane[3], 0u);
  EXPECT_EQ(plane[16], 0u);
  EXPECT_EQ(plane[5 * 16 + 14], 0x10000000u);
  EXPECT_EQ(plane[7 * 16 + 15], 0x1000000Bu);
  cgmxYUVAtoOvl(picture.data(), 0, 20, 100, 100, 4, 3); // wholly outside: nothing
  cgmxYUVAtoOvl(nullptr, 0, 20, 0, 0, 4, 3);
}

TEST_F(ScreenTest, PanelOneIsTheVideoMonitorWhenThereIsOne) {
  vxhost::setFormat({8, 4, 1000});
  CImage *image = cgAllocImage(CG_KIND_YUVA, 2, 1);
  uint32_t *p = reinterpret_cast<uint32_t *>(image->pixels);
  p[0] = 0xEB8080FFu;                   // opaque
  p[1] = 0xEB808080u;                   // half covering
  EXPECT_EQ(cgWriteImage(1, image, 6, 3), 0); // no monitor connected
  EXPECT_TRUE(vxhost::monitorPicture().pixels.empty());

  vxhost::Screen s;
  s.videoMonitor = true;
  vxhost::setScreen(s);
  EXPECT_EQ(cgWriteImage(1, image, 6, 3), 1);
  const vxhost::MonitorPicture &m = vxhost::monitorPicture();
  ASSERT_EQ(m.width, 8);
  ASSERT_EQ(m.height, 4);
  EXPECT_EQ(m.pixels[3 * 8 + 6], 0xEB8080FFu);
  // Y 235 * 128 / 255 = 118, U and V 64, alpha 128.
  EXPECT_EQ(m.pixels[3 * 8 + 7], 0x76404080u);
  EXPECT_EQ(m.pixels[0], 0u);
  EXPECT_EQ(cgWriteImage(1, image, 8, 0), 0); // wholly off the monitor
  EXPECT_EQ(cgWriteImage(1, nullptr, 0, 0), 0);
  cgFreeImage(image);
}

} // namespace
