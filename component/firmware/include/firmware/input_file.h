// Opening the files the readers take from a client: only a regular file is read, so that a FIFO
// (which blocks in open), a device such as /dev/zero (which never ends) or a folder named by
// mistake is refused at once with the reason.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace firmware {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

inline constexpr const char* kNotRegularFile = "not a regular file";

// The file at `path` open for reading (binary); empty with `reason` set (kNotRegularFile, or the
// system's text for why it cannot be opened).
InputFile OpenInputFile(const std::string& path, std::string& reason);

}  // namespace firmware
