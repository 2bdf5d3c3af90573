// Every host test runs with a fresh VXHOME and the host's defaults, and ends
// with no live host image.
#pragma once

#include <gtest/gtest.h>

#include "host/gui/orvexagui.hpp"
#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "support/sandbox.hpp"

class HostTest : public ::testing::Test {
protected:
  void SetUp() override { vxhost::reset(); }
  void TearDown() override {
    EXPECT_EQ(vxhost::liveImageCount(), 0);
    vxhost::reset();
  }

  testing_support::TempHome home_;
};
