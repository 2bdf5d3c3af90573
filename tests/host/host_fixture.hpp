// Every host test runs in the sandbox (tests/support/sandbox.hpp).
#pragma once

#include "support/sandbox.hpp"

using HostTest = testing_support::Sandbox;
