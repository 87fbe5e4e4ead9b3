// A file written under a temporary name beside its target, put in the
// target's place only when it is complete.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace o3 {

// Errors of staged_file of its own, beside the errno values it returns.
inline constexpr int directory_removed = -1;  // the target's directory went meanwhile
inline constexpr int temporary_removed = -2;  // the temporary alone went meanwhile

// The text of an error of staged_file: strerror's, or "its directory was
// removed during the run" ("its temporary file was removed ...").
const char* staged_error_text(int error);

// Whether `target` is written directly rather than replaced: a name that is
// itself a device, a FIFO or a socket (/dev/null, a pipe), which has nothing
// to lose and cannot be replaced, or one of the process's own descriptors
// (/dev/stdout, /dev/stderr, /dev/fd/N), which its caller opened for it. A
// symbolic link is replaced, whatever it points to.
bool written_directly(const std::string& target);

// 0 when a staged_file may replace `target`, or the errno value open() would
// return, without creating anything: EISDIR for a directory, EACCES for a
// file this user may not write (as fopen would refuse it) or a directory it
// may not write in, EPERM for a file of another user in a sticky directory
// (/tmp, a shared 1777 one), which only its owner, the directory's or root
// may rename over.
int replace_refusal(const std::string& target);

class staged_file;

// Puts every file of the set in its target's place, or none: all are
// finished first, then renamed with the signals held (one that arrives
// meanwhile acts after the last rename), and a rename refused all the same
// (a file changed meanwhile) takes back those before it, where the file
// system can exchange two names (Linux: renameat2). Returns 0, or the error
// of the first failure with *failed its index, every target as it was and
// every temporary removed. `between` (tests only) is called after each rename
// but the last, signals held.
int commit_together(staged_file* const* files, std::size_t count, std::size_t* failed,
                    void (*between)() = nullptr);

// Until commit() the target stays as it was, byte for byte; a target that
// is a symbolic link is replaced by the file, never written through. The
// temporary is removed by abandon(), the destructor, exit() and the signals
// of exit_cleanup.h; only SIGKILL or a crash can leave it behind.
class staged_file {
 public:
  staged_file() = default;
  ~staged_file() { abandon(); }
  staged_file(const staged_file&) = delete;
  staged_file& operator=(const staged_file&) = delete;

  // Creates ".NAME.XXXXXX" exclusively in the directory of `target` (or
  // ".o3tables.XXXXXX" where that name would be too long), with the mode of
  // the file it will replace, or 0666 less the umask as fopen would give a
  // new one; a target written directly is opened for writing. Returns 0, or
  // an error: replace_refusal's, ENAMETOOLONG, or open's.
  int open(const std::string& target);

  // The stream to write to; nullptr before open().
  std::FILE* stream() const { return file_; }

  // Where the file is until commit(); empty for a target written directly.
  const std::string& temporary() const { return temporary_; }

  // Flushes, syncs and closes the temporary, so that every write error has
  // shown before any target is touched. Returns 0, or the error of the first
  // failure, any write error since open() included, directory_removed when
  // the directory went meanwhile; on failure the temporary is removed.
  int finish();

  // Finishes the file unless that is done, and renames it over the target
  // (the directory is synced too, where it can be): commit_together for one
  // file. Returns 0, or the error of the first failure; on failure the
  // temporary is removed and the target left as it was.
  int commit();

  // Closes and removes the temporary; the target is untouched.
  void abandon();

 private:
  friend int commit_together(staged_file* const*, std::size_t, std::size_t*, void (*)());
  enum class placed { nothing, exchanged, created, replaced };

  int open_descriptor(int fd);
  int open_direct(const std::string& target);
  int open_temporary(const std::string& pattern, mode_t mode);
  int gone_or(int error) const;
  int put_in_place(placed* how);
  void take_back(placed how);
  void settle(placed how);

  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  int slot_ = -1;
  dev_t dir_dev_ = 0;  // the directory the temporary was made in
  ino_t dir_ino_ = 0;
  bool direct_ = false;  // written straight to a device, a FIFO, a socket or a descriptor
  bool finished_ = false;
};

}  // namespace o3
