// The game window on a virtual display, read back as a player sees it
// (in the test-support library).
#pragma once

#include "tests/e2e/Harness.h"
#include "tests/support/GameScreen.h"

namespace e2e {

using testsupport::GameScreen;
using testsupport::Resource;

}  // namespace e2e
