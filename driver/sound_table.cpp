#include "driver/sound_table.h"

#include "numeric/fatal.h"
#include "sampler/o3_sampler.h"

namespace o3 {

void check_sound_table(const std::string& path) {
  o3_error error;
  o3_table* table = o3_open(path.c_str(), &error);
  if (table != nullptr) {
    o3_close(table);
    return;
  }
  // The reader names the file, here the temporary: the line is what counts.
  std::string what = error.message;
  const std::string named = path + ": ";
  if (what.compare(0, named.size(), named) == 0) what.erase(0, named.size());
  const std::string message =
      "the table made is not sound (" + what + "); O3.res is left as it was";
  nrerror(message.c_str());
}

}  // namespace o3
