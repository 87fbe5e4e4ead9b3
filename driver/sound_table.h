// The finished table read back as a simulation will read it.
#pragma once

#include <string>

namespace o3 {

// Opens the table at `path` with the sampler's reader; a table it refuses
// ends the run (status 1) with "the table made is not sound (line N:
// WHAT); O3.res is left as it was", so that no run reports success for a
// table its users could not load.
void check_sound_table(const std::string& path);

}  // namespace o3
