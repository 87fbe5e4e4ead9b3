// Paths that must not outlive a process that ends before it is done with
// them: removed at exit() and on SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT,
// SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU and SIGXFSZ.
#pragma once

namespace o3 {

// Registers `path` for removal: at exit(), or when one of those signals
// arrives, after which the signal ends the process as it would have (the
// shell sees the signal). A signal not at its default action when the
// first path is registered (ignored by nohup, say) is left as it is.
// Returns a slot, or -1 when the path is longer than 4095 bytes or all 8
// slots are taken.
int remove_at_exit(const char* path);

// Holds those signals from now to the end of the process, for a run past
// the point where a signal could still leave its files as they were: it
// ends with the status of what it did, and a signal sent meanwhile is lost
// at its exit. Call it outside any other holding of signals, whose end
// would release them again.
void hold_signals_to_exit();

// The path of `slot` is no longer removed (renamed into place, or removed
// by the caller); -1 is ignored.
void keep_at_exit(int slot);

}  // namespace o3
