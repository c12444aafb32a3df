#include "tests/support/SoundServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace audiotest {

namespace {

using namespace std::chrono_literals;
using testsupport::Process;

// Ends the process: SIGTERM, then SIGKILL when it does not go within 3 s.
void Stop(std::unique_ptr<Process>& p) {
  if (p) p->Stop(3000);
  p.reset();
}

bool Accepts(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

}  // namespace

SoundServer::SoundServer(const std::string& dir, bool debugLog)
    : dir_(dir), socket_(dir + "/native"), recording_(dir + "/recording.raw") {
  std::filesystem::create_directories(dir_ + "/runtime");
  std::filesystem::create_directories(dir_ + "/home");
  if (socket_.size() >= sizeof(sockaddr_un{}.sun_path)) {
    problem_ = "socket path too long: " + socket_;
    return;
  }
  const std::string log = LogPath();
  // The sink does not rewind: when a new stream joins, a rewinding sink
  // mixes it into what it has already rendered, but its monitor cannot take
  // back the silence it has already handed the recorder, so the start of
  // the first sound would be missing from the recording (not from the sink).
  std::vector<std::string> argv{
      "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes", "--use-pid-file=no",
      // Ahead of ordinary work, where the system allows it, as a desktop's
      // server runs: a busy machine then delays the program's feed rather
      // than the server that plays and records it.
      "--realtime=yes", "--high-priority=yes", "--log-target=stderr", "-L",
      std::string("module-null-sink sink_name=") + kSink + " rate=44100 format=s16le channels=2 norewinds=1", "-L",
      "module-native-protocol-unix auth-anonymous=1 socket=" + socket_};
  if (debugLog) argv.push_back("--log-level=debug");
  server_ = std::make_unique<Process>(argv, Environment(), Process::Streams{"/dev/null", log, false});
  if (server_->pid() <= 0) {
    problem_ = "pulseaudio could not be started (is it installed?)";
    server_.reset();
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!Accepts(socket_)) {
    if (!server_->Running() || std::chrono::steady_clock::now() > deadline) {
      problem_ = "pulseaudio did not come up; its log:\n" + Log();
      Stop(server_);
      return;
    }
    std::this_thread::sleep_for(20ms);
  }
}

std::string SoundServer::Log() const {
  std::ifstream in(LogPath());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

size_t SoundServer::Underruns() const {
  // "Underrun of 'name'", "Implicit underrun of 'name'", "Actual underrun
  // of 'name'": the stream's queue was empty when the sink read it.
  const std::string log = Log();
  size_t n = 0;
  for (size_t at = log.find("nderrun of '"); at != std::string::npos; at = log.find("nderrun of '", at + 1)) ++n;
  return n;
}

SoundServer::~SoundServer() {
  Stop(recorder_);
  Stop(server_);
}

// This process's environment without its sound server, home and runtime
// folder, and with the private ones instead.
std::map<std::string, std::string> SoundServer::Environment() const {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string s(*e);
    if (s.rfind("PULSE_", 0) == 0) env[s.substr(0, s.find('='))] = "";
  }
  env["HOME"] = dir_ + "/home";
  env["XDG_RUNTIME_DIR"] = dir_ + "/runtime";
  env["PULSE_RUNTIME_PATH"] = dir_ + "/runtime";
  env["PULSE_SERVER"] = Address();
  return env;
}

bool SoundServer::StartRecording() {
  if (!Running()) return false;
  Stop(recorder_);
  recorder_ = std::make_unique<Process>(
      std::vector<std::string>{"parec", std::string("--device=") + kSink + ".monitor", "--latency-msec=5",
                               "--format=s16le", "--rate=44100", "--channels=2", "--raw"},
      Environment(), Process::Streams{recording_, dir_ + "/recorder.log", false});
  if (recorder_->pid() <= 0) {
    recorder_.reset();
    return false;
  }
  // The monitor delivers silence while nothing plays, so the file grows as
  // soon as the recorder is connected.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (SizeOf(recording_) < 4096) {
    if (!recorder_->Running() || std::chrono::steady_clock::now() > deadline) {
      Stop(recorder_);
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::vector<int16_t> SoundServer::StopRecording() {
  Stop(recorder_);
  return RecordedFrom(0);
}

size_t SoundServer::RecordedFrames() const { return static_cast<size_t>(SizeOf(recording_) / 4); }

std::vector<int16_t> SoundServer::RecordedFrom(size_t from) const {
  std::ifstream in(recording_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from * 4));
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 4 * 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(int16_t));
  return samples;
}

Span AudibleSpan(const std::vector<int16_t>& stereo, int32_t threshold, size_t from, int32_t ceiling) {
  Span span;
  for (size_t f = from; 2 * f + 1 < stereo.size(); ++f) {
    const int32_t level = std::max(std::abs(int32_t{stereo[2 * f]}), std::abs(int32_t{stereo[2 * f + 1]}));
    if (level <= threshold || level >= ceiling) continue;
    if (!span.found) span.first = f;
    span.found = true;
    span.last = f;
  }
  return span;
}

int32_t Peak(const std::vector<int16_t>& stereo, const Span& span) {
  int32_t peak = 0;
  for (size_t i = 2 * span.first; span.found && i <= 2 * span.last + 1; ++i)
    peak = std::max(peak, std::abs(int32_t{stereo[i]}));
  return peak;
}

double Rms(const std::vector<int16_t>& stereo, const Span& span) {
  if (!span.found) return 0.0;
  double sum = 0.0;
  for (size_t i = 2 * span.first; i <= 2 * span.last + 1; ++i) sum += static_cast<double>(stereo[i]) * stereo[i];
  return std::sqrt(sum / static_cast<double>(2 * span.Frames()));
}

double ProbePair::FirstEarlierMs() const {
  const double frames = static_cast<double>(second.first) - static_cast<double>(first.first);
  return 1000.0 * frames / SoundServer::kRate - playedApartMs;
}

ProbePair PlayProbes(SoundServer& server, const fw::Ref<fw::Sound>& first, const fw::Ref<fw::Sound>& second,
                     int afterMs) {
  const size_t at = server.RecordedFrames();
  const auto t1 = std::chrono::steady_clock::now();
  first->Play();
  std::this_thread::sleep_for(100ms);
  const auto t2 = std::chrono::steady_clock::now();
  second->Play();
  std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
  const std::vector<int16_t> rec = server.RecordedFrom(at);
  ProbePair p;
  p.first = AudibleSpan(rec, 5000, 0, 15000);
  p.second = AudibleSpan(rec, 15000);
  p.playedApartMs = std::chrono::duration<double, std::milli>(t2 - t1).count();
  return p;
}

}  // namespace audiotest
