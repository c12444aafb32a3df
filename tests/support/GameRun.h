// The game binary of this build, run as a player would meet it: in a
// headless session or on a given display, with its own preferences folder.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "tests/support/Process.h"

namespace testsupport {

std::string GameBinary();
// Installs the game in `folder` as a player would: the binary (a hard link
// where possible) with a copy of the resources folder beside it; the
// binary's path.
std::string InstallGame(const std::string& folder);

struct GameRun {
  // Its preferences under `prefsDir`, its output in `prefsDir`.log; no
  // display and no sound server unless `extraEnv` gives them. On a display
  // it runs on X unless `extraEnv` names QT_QPA_PLATFORM (empty: none).
  explicit GameRun(const std::string& prefsDir, const std::map<std::string, std::string>& extraEnv = {},
                   const std::string& binary = GameBinary());
  std::unique_ptr<Process> process;
};

}  // namespace testsupport
