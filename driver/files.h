// The run's files and standard output, every failure fatal with the system's reason.
#pragma once

#include <cstddef>
#include <cstdio>

#include "common/staged_file.h"
#include "common/standard_output.h"

namespace o3 {

// Fatal "cannot create NAME: reason" unless a staged_file may replace NAME
// (see replace_refusal): a run finds out before its first question.
void check_replaceable(const char* name);

// Starts `file` beside `name` (see staged_file); fatal "cannot create NAME:
// reason" when it cannot be created, "Is a directory" when NAME is one.
void open_staged(staged_file& file, const char* name);

// Fatal "cannot write NAME: reason" when a write to `file` has failed: a
// full disk stops the run at once, not after the last histogram.
void check_written(std::FILE* file, const char* name);

// Completes the file on the disk, NAME not yet touched; fatal "cannot write
// NAME: reason" when any write or the sync failed.
void finish_staged(staged_file& file, const char* name);

// Puts the complete file in the place of NAME; fatal "cannot write NAME:
// reason" when any write, the sync or the rename failed, NAME left as it was.
void commit_staged(staged_file& file, const char* name);

// The same for files that belong together (see commit_together): all in
// place or, with the message naming the first that failed, none.
void commit_staged_together(staged_file* const* files, const char* const* names, std::size_t count);

// commit_staged as the run's last act: the signals of exit_cleanup.h are
// held from the rename to the end of the process, so that a run whose
// NAME was replaced ends as one that wrote it, with status 0.
void commit_last(staged_file& file, const char* name);

// A regular file opened for reading; fatal "cannot open NAME: reason", the
// reason naming what NAME is when it is no regular file.
std::FILE* open_input(const char* name);

// Flushes standard output; fatal "cannot write standard output: reason"
// when it or an earlier write to it failed (a full device, a closed pipe
// whose SIGPIPE is ignored), so that a job's log never ends in silence.
void check_standard_output();

}  // namespace o3
