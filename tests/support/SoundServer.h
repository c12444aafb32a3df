// A private sound server for the audio tests: pulseaudio with one null sink,
// started in a folder of its own, and a recorder on the sink's monitor.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Sound.h"
#include "tests/support/Process.h"

namespace audiotest {

class SoundServer {
 public:
  static constexpr const char* kSink = "pandrisk_probe";
  static constexpr int32_t kRate = 44100;

  // Starts the server with its socket and runtime files under `dir`. When it
  // cannot be started, Running() is false and Problem() says why. A server
  // with `debugLog` writes its debug messages (underruns among them) to its
  // log.
  explicit SoundServer(const std::string& dir, bool debugLog = false);
  ~SoundServer();
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool Running() const { return server_ != nullptr; }
  pid_t Pid() const { return server_ ? server_->pid() : -1; }
  const std::string& Problem() const { return problem_; }
  // The address a client puts in PULSE_SERVER.
  std::string Address() const { return "unix:" + socket_; }
  // The server's log so far.
  std::string Log() const;
  // Underruns of the clients' streams that a debug log tells of: each time
  // a stream that plays had nothing for the sink.
  size_t Underruns() const;

  // Starts recording the sink (16-bit stereo at kRate) and returns once the
  // recorder receives data; false when it does not.
  bool StartRecording();
  // Stops the recorder and returns what it recorded, interleaved.
  std::vector<int16_t> StopRecording();
  // While recording: the frames recorded so far, and those from frame
  // `from` on, interleaved.
  size_t RecordedFrames() const;
  std::vector<int16_t> RecordedFrom(size_t from) const;

 private:
  std::map<std::string, std::string> Environment() const;
  std::string LogPath() const { return dir_ + "/server.log"; }

  std::string dir_;
  std::string socket_;
  std::string recording_;
  std::string problem_;
  std::unique_ptr<testsupport::Process> server_, recorder_;
};

// Frames (of a stereo recording) whose louder channel exceeds a threshold,
// and stays below a ceiling where one is given (to tell a loud sound from a
// softer one beside it).
struct Span {
  bool found = false;
  size_t first = 0;
  size_t last = 0;
  size_t Frames() const { return found ? last - first + 1 : 0; }
};
Span AudibleSpan(const std::vector<int16_t>& stereo, int32_t threshold, size_t from = 0,
                 int32_t ceiling = INT32_MAX);
// Largest magnitude and root mean square of the samples of frames first..last.
int32_t Peak(const std::vector<int16_t>& stereo, const Span& span);
double Rms(const std::vector<int16_t>& stereo, const Span& span);

// Two probes played 100 ms apart into a recording of `server`, told apart
// by their level: `first` plays at +-10000, `second` at +-20000 (over a
// softer sound, if one plays). Waits `afterMs` after the second Play.
struct ProbePair {
  Span first, second;
  double playedApartMs = 0;  // between the two Play calls
  bool Heard() const { return first.found && second.found; }
  // How much earlier the first probe sounded than the second, beyond the
  // spacing of their Play calls.
  double FirstEarlierMs() const;
};
ProbePair PlayProbes(SoundServer& server, const fw::Ref<fw::Sound>& first, const fw::Ref<fw::Sound>& second,
                     int afterMs);

}  // namespace audiotest
