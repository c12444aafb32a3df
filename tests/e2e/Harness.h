// Runs the real game binary as a player would meet it: in a headless
// session, or on a virtual X display with a window manager, with its own
// preferences folder and, where asked, a sound server whose output is
// recorded. The pieces live in the test-support library.
#pragma once

#include "tests/support/Display.h"
#include "tests/support/GameRun.h"
#include "tests/support/Process.h"

namespace e2e {

using testsupport::Display;
using testsupport::GameBinary;
using testsupport::GameRun;
using testsupport::Image;
using testsupport::InstallGame;
using testsupport::Process;
using testsupport::RssMiB;
using testsupport::Run;
using testsupport::WaitFor;
using testsupport::WindowManager;

}  // namespace e2e
