// Fuzz input as a file, for readers that take a path: an anonymous in-memory file named through
// /proc, so that runs in parallel never share one.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = write(fd_, data + done, size - done);
            if (n <= 0) std::abort();
            done += std::size_t(n);
        }
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};
