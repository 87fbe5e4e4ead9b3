// Opening, reading and closing the run's files, every failure fatal.
#pragma once

#include <cstdio>
#include <string>

namespace o3 {

// fopen(name, mode); fatal "cannot create NAME: reason" (mode "w") or
// "cannot open NAME: reason" when it fails.
std::FILE* open_file(const char* name, const char* mode);

// Closes a file written by the run; fatal "cannot write NAME: reason" when
// any write to it or the close failed.
void close_written(std::FILE* file, const char* name);

// The whole content of a file; fatal "cannot open NAME: reason" or "cannot
// read NAME: reason".
std::string read_whole_file(const char* name);

}  // namespace o3
