// Every host test runs with a fresh VXHOME and the host's defaults, and ends
// with no live host image and no live GUI object (panel, request, extension).
#pragma once

#include <gtest/gtest.h>

#include "host/settings/settings.hpp"
#include "host/gui/gui.hpp"
#include "support/sandbox.hpp"

class HostTest : public ::testing::Test {
protected:
  void SetUp() override { vxhost::reset(); }
  void TearDown() override {
    EXPECT_EQ(vxhost::liveImageCount(), 0);
    EXPECT_EQ(vxhost::gui::liveCounts(), vxhost::gui::LiveCounts{});
    vxhost::reset();
  }

  testing_support::TempHome home_;
};
