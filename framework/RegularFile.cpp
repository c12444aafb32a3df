// Reading a whole file that must be a regular one of bounded size.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "framework/FilesPrivate.h"

namespace fw::files {

bool ReadRegularFile(const std::string& path, uint64_t limit, std::string& bytes) {
  // Not blocking: a pipe would otherwise hold the open until a writer came.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= limit;
  if (ok) {
    bytes.assign(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    // A file that grew or shrank while it was read is not taken.
    char extra;
    ok = got == bytes.size() && ::read(fd, &extra, 1) == 0;
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace fw::files
