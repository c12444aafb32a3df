#include "tests/support/GameRun.h"

#include <filesystem>
#include <vector>

#include "tests/support/TestSupport.h"

namespace testsupport {

std::string GameBinary() { return std::string(PANDRISK_BINARY_DIR) + "/pandrisk"; }

std::string InstallGame(const std::string& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  const std::string binary = folder + "/pandrisk";
  std::error_code ec;
  fs::create_hard_link(GameBinary(), binary, ec);
  if (ec) fs::copy_file(GameBinary(), binary);
  fs::copy(SourceResourcesDir(), folder + "/resources", fs::copy_options::recursive);
  return binary;
}

GameRun::GameRun(const std::string& prefsDir, const std::map<std::string, std::string>& extraEnv,
                 const std::string& binary) {
  std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", prefsDir},
                                         {"QT_QPA_PLATFORM", "offscreen"},
                                         {"DISPLAY", ""},
                                         // No sound server unless the test gives one.
                                         {"PULSE_SERVER", "unix:/nonexistent"},
                                         // For a build under the sanitizers: the same options as the tests'.
                                         {"LSAN_OPTIONS", std::string("suppressions=") + PANDRISK_SOURCE_DIR +
                                                              "/tests/support/lsan.supp:print_suppressions=0"}};
  for (const auto& [k, v] : extraEnv) env[k] = v;
  // On a display, X unless the test names the platform (or none).
  if (!env["DISPLAY"].empty() && extraEnv.count("QT_QPA_PLATFORM") == 0) env["QT_QPA_PLATFORM"] = "xcb";
  process = std::make_unique<Process>(std::vector<std::string>{binary}, env, prefsDir + ".log");
}

}  // namespace testsupport
