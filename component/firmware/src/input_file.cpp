#include "firmware/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace firmware {

InputFile OpenInputFile(const std::string& path, std::string& reason) {
  // Non-blocking, so that opening a FIFO without a writer returns at once; the file's type is
  // then taken from the descriptor itself, not from a name that may change in between.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  struct stat info{};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    reason = kNotRegularFile;
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    reason = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return InputFile(file);
}

}  // namespace firmware
