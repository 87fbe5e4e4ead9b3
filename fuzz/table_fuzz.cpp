// libFuzzer target: the sampler's reader, its checks and preparation, and
// draws from whatever it accepts. An input is the text of an O3.res.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "sampler/o3_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (in == nullptr) return 0;
  o3_error e{};
  o3_table* t = o3_open_stream(in, "fuzz", &e);
  std::fclose(in);
  if (t == nullptr) {
    // A refusal always says why.
    if (e.status == O3_OK || e.message[0] == '\0') std::abort();
    return 0;
  }
  // The tables engine, whose draws are the ones that read the tables.
  o3_set_engine(t, O3_ENGINE_TABLES);
  const double H0 = o3_h0(t);
  const double H_max = o3_h_max(t);
  o3_rng rng;
  o3_rng_seed(&rng, size);
  // Couplings at both ends of the range, inside it, outside it and mirrored:
  // every draw must end, inside [-1, 1].
  const double hs[] = {H0,
                       std::nextafter(H_max, H0),
                       0.5 * (H0 + H_max),
                       2.0 * H_max + 1.0,
                       0.5 * H0,
                       -H0,
                       -0.5 * (H0 + H_max),
                       0.0};
  for (const double h : hs) {
    if (h >= H0 && h < H_max) {
      const int g = o3_histogram_of(t, h);
      if (g < 0 || g >= o3_histogram_count(t)) std::abort();
    }
    for (int i = 0; i < 8; ++i) {
      const double y = o3_draw(t, h, &rng);
      if (!(y >= -1.0 && y <= 1.0)) std::abort();
    }
  }
  // And all of them at once, as a checkerboard sweep draws them.
  double y[sizeof hs / sizeof hs[0]];
  o3_draw_many(t, sizeof hs / sizeof hs[0], hs, y, &rng);
  for (const double v : y) {
    if (!(v >= -1.0 && v <= 1.0)) std::abort();
  }
  o3_close(t);
  return 0;
}
