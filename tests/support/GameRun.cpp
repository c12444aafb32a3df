#include "tests/support/GameRun.h"

#include <vector>

namespace testsupport {

std::string GameBinary() { return std::string(PANDRISK_BINARY_DIR) + "/pandrisk"; }

GameRun::GameRun(const std::string& prefsDir, const std::map<std::string, std::string>& extraEnv,
                 const std::string& binary) {
  std::map<std::string, std::string> env{
      {"XDG_CONFIG_HOME", prefsDir},
      {"QT_QPA_PLATFORM", "offscreen"},
      {"DISPLAY", ""},
      // No sound server unless the test gives one.
      {"PULSE_SERVER", "unix:/nonexistent"},
      // For a build under the sanitizers: the same options as the tests'.
      {"LSAN_OPTIONS", std::string("suppressions=") + PANDRISK_SOURCE_DIR + "/tests/support/lsan.supp:print_suppressions=0"}};
  for (const auto& [k, v] : extraEnv) env[k] = v;
  if (env.count("DISPLAY") && !env["DISPLAY"].empty()) env["QT_QPA_PLATFORM"] = "xcb";
  process = std::make_unique<Process>(std::vector<std::string>{binary}, env, prefsDir + ".log");
}

}  // namespace testsupport
