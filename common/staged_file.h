// A file written under a temporary name beside its target, put in the
// target's place only when it is complete.
#pragma once

#include <cstdio>
#include <string>

namespace o3 {

// Until commit() the target stays as it was, byte for byte; a target that
// is a symbolic link is replaced by the file, never written through. The
// temporary is removed by abandon(), the destructor, exit() and the signals
// of exit_cleanup.h; only SIGKILL or a crash can leave it behind.
//
// A target that is a device, a FIFO or a socket (/dev/null, /dev/stdout, a
// pipe) has nothing to lose and cannot be replaced: it is written directly.
// Whether `target` (followed through links) is a device, a FIFO or a
// socket, which a staged_file writes directly rather than replaces.
bool written_directly(const std::string& target);

class staged_file {
 public:
  staged_file() = default;
  ~staged_file() { abandon(); }
  staged_file(const staged_file&) = delete;
  staged_file& operator=(const staged_file&) = delete;

  // Creates ".NAME.XXXXXX" exclusively in the directory of `target`, with
  // the mode of the file it will replace, or 0666 less the umask as fopen
  // would give a new one. Returns 0, or an errno value: EISDIR when the
  // target is a directory, EACCES when it is a file this user may not
  // write (as fopen would refuse it), ENAMETOOLONG, or open's.
  int open(const std::string& target);

  // The stream to write to; nullptr before open().
  std::FILE* stream() const { return file_; }

  // Where the file is until commit(); empty for a target written directly.
  const std::string& temporary() const { return temporary_; }

  // Flushes, syncs and closes the temporary, so that every write error has
  // shown before any target is touched: files that must change together
  // are all finished before the first is committed. Returns 0, or the errno
  // value of the first failure, any write error since open() included; on
  // failure the temporary is removed.
  int finish();

  // Finishes the file unless that is done, and renames it over the target
  // (the directory is synced too, where it can be). Returns 0, or the errno
  // value of the first failure; on failure the temporary is removed and the
  // target left as it was.
  int commit();

  // Closes and removes the temporary; the target is untouched.
  void abandon();

 private:
  int open_direct(const std::string& target);

  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;
  bool direct_ = false;  // written straight to a device, a FIFO or a socket
  bool finished_ = false;
};

}  // namespace o3
