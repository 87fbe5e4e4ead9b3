// Opening a file to read that must be a regular file.
// The sampler's C twin: o3_open_file in sampler/o3_read.c.
#pragma once

#include <cstdio>
#include <string>

namespace o3 {

// The file at `path` opened for reading, or nullptr with *reason set: the
// system's text for open's error ("No such file or directory", "Permission
// denied", ...), or what the path is instead of a regular file ("Is a
// directory", "Is a FIFO", "Is a character device", "Is a block device",
// "Is a socket"). Never waits for a FIFO's writer or a device.
std::FILE* open_regular_file(const char* path, std::string* reason);

}  // namespace o3
