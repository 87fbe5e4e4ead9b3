// The template of the generated C sampler. Its draw and its preparation of
// the pieces repeat the library's (sampler/sampler.h, sampler/sampler.cpp)
// operation for operation, so that one stream of uniforms gives the same
// draws bit for bit; a change there must be made here too.
#include "emit/c_source.h"

#include <cinttypes>

#include "checker/text.h"
#include "emit/template.h"

namespace o3::emit {
namespace {

constexpr const char* header_template = R"(/* @HEADER_LINE@ */
/* Compile with -ffp-contract=off (the default on x86-64 without FMA): the
   draws are then those of the o3tables sampler library, bit for bit. */
#ifndef O3_SAMPLER_H
#define O3_SAMPLER_H

/* The couplings the tables serve: O3_H0 <= h < O3_H_MAX. */
#define O3_H0 @H0@
#define O3_H_MAX @H_MAX@

/* Statuses of o3_load. */
#define O3_LOADED 0
#define O3_CANNOT_READ 1   /* the file cannot be opened or read */
#define O3_OTHER_FILE 2    /* not the O3.res this sampler was made for */
#define O3_MALFORMED 3     /* its numbers cannot be read */
#define O3_NO_MEMORY 4

/* Reads the tables from the O3.res at path and prepares them. Returns
   O3_LOADED, or another status with o3_message() saying why; after a failure
   no tables are loaded. Never exits. */
int o3_load(const char *path);

/* Why the last o3_load failed ("" after a success). */
const char *o3_message(void);

/* One y = cos(theta) in [-1, 1] with density proportional to exp(h*y - h),
   for O3_H0 <= h < O3_H_MAX, after a successful o3_load. Each uniform(state)
   must return a double in [0, 1) from the caller's generator. */
double o3_draw(double h, double (*uniform)(void *state), void *state);

/* Releases the tables. */
void o3_free(void);

#endif
)";

constexpr const char* source_template = R"(/* @HEADER_LINE@ */
/* Compile with -ffp-contract=off (the default on x86-64 without FMA): the
   draws are then those of the o3tables sampler library, bit for bit. */
#include "o3_sampler.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The file this sampler was made for: its FNV-1a checksum (64 bits, over
   every byte) pins down its layout, so the loader can go to the lines it
   needs. Lines are numbered from 1. */
#define O3_FNV1A64 UINT64_C(0x@CHECKSUM@)
#define O3_ND @ND@ /* pieces per histogram */
#define O3_HISTOGRAMS @HISTOGRAMS@
#define O3_MAP_LINE @MAP_LINE@ /* the first map entry "j g" */
#define O3_MAP_ENTRIES @MAP_ENTRIES@
#define O3_FIRST_CELL (@FIRST_CELL@) /* map index of the dense map's first cell */
#define O3_CELLS @CELLS@
#define O3_ROUTES @ROUTES@

/* The lookup lines: a coupling below bound[r] and not below bound[r - 1]
   goes to the dense map's cell offset[r] + (int)(h / step[r]). The last
   bound is H_max and never compared. */
static const double o3_bound[O3_ROUTES] = {@BOUNDS@};
static const double o3_step[O3_ROUTES] = {@STEPS@};
static const int64_t o3_offset[O3_ROUTES] = {@OFFSETS@};

/* The couplings each histogram serves, from the map: its squeezes hold up
   to the largest, its chords down to the smallest. */
static const double o3_lower[O3_HISTOGRAMS] = {
@LOWER@};
static const double o3_upper[O3_HISTOGRAMS] = {
@UPPER@};

/* The squeeze is lowered (the chord raised) by this relative margin so that
   the rounding of its own computation cannot move it across the density. */
#define O3_MARGIN 1e-9
#define O3_LOW53 ((UINT64_C(1) << 53) - 1)

/* A piece as the draw needs it; heights are fractions of the box and t is
   the offset y - left of a point in the piece. */
struct o3_piece {
  double left, squeeze, span, width, slope, chord, chord_slope;
};
/* The first try's view of a piece: v < squeeze exactly when m < threshold,
   and v * span = m * scale. */
struct o3_fast {
  double left, scale;
  uint64_t threshold;
};

static struct o3_piece *o3_pieces;
static struct o3_fast *o3_fasts;
static double o3_area[O3_HISTOGRAMS];
static int32_t o3_cell_histogram[O3_CELLS];
static char o3_message_text[256];

static int o3_fail(int status, const char *path, const char *what) {
  snprintf(o3_message_text, sizeof o3_message_text, "%s: %s", path, what);
  o3_free();
  return status;
}

/* The whole file, NUL-terminated, or NULL. */
static char *o3_read_file(const char *path, size_t *size) {
  FILE *in = fopen(path, "rb");
  char *bytes = NULL;
  size_t used = 0, room = 0;
  if (in == NULL) return NULL;
  for (;;) {
    if (used + 1 >= room) {
      char *more;
      room = room == 0 ? 65536 : 2 * room;
      more = (char *)realloc(bytes, room);
      if (more == NULL) break;
      bytes = more;
    }
    used += fread(bytes + used, 1, room - used - 1, in);
    if (feof(in) || ferror(in)) break;
  }
  if (ferror(in) || !feof(in)) {
    free(bytes);
    bytes = NULL;
  } else {
    bytes[used] = '\0';
    *size = used;
  }
  fclose(in);
  return bytes;
}

static uint64_t o3_fnv1a64(const char *bytes, size_t size) {
  uint64_t h = UINT64_C(0xcbf29ce484222325);
  size_t i;
  for (i = 0; i < size; ++i) {
    h ^= (unsigned char)bytes[i];
    h *= UINT64_C(0x100000001b3);
  }
  return h;
}

/* The next whitespace-separated number at *at; 0 when there is none. */
static int o3_real(const char **at, double *v) {
  char *end;
  *v = strtod(*at, &end);
  if (end == *at) return 0;
  *at = end;
  return 1;
}
static int o3_integer(const char **at, long *v) {
  char *end;
  *v = strtol(*at, &end, 10);
  if (end == *at) return 0;
  *at = end;
  return 1;
}

/* The map entries: the dense map, a cell without an entry taking the
   histogram of the cell before it, also past the last entry. */
static int o3_read_map(const char **at) {
  int e;
  size_t c;
  for (c = 0; c < O3_CELLS; ++c) o3_cell_histogram[c] = -1;
  for (e = 0; e < O3_MAP_ENTRIES; ++e) {
    long j, g;
    if (!o3_integer(at, &j) || !o3_integer(at, &g)) return 0;
    if (j < O3_FIRST_CELL || j - O3_FIRST_CELL >= O3_CELLS || g < 0 ||
        g >= O3_HISTOGRAMS || (e == 0 && j != O3_FIRST_CELL)) {
      return 0;
    }
    o3_cell_histogram[j - O3_FIRST_CELL] = (int32_t)g;
  }
  for (c = 1; c < O3_CELLS; ++c) {
    if (o3_cell_histogram[c] < 0) o3_cell_histogram[c] = o3_cell_histogram[c - 1];
  }
  return 1;
}

/* The pieces of histogram g from its points x, with their squeezes, tangents
   and chords for every coupling it serves. */
static void o3_prepare(int g, const double *x) {
  const double area = o3_area[g];
  const double top = o3_upper[g];
  const double low = o3_lower[g];
  int k;
  for (k = 0; k < O3_ND; ++k) {
    struct o3_piece *p = &o3_pieces[(size_t)g * O3_ND + (size_t)k];
    struct o3_fast *f = &o3_fasts[(size_t)g * O3_ND + (size_t)k];
    const double width = x[k + 1] - x[k];
    const double scale = width / area;
    const double least = exp(top * (x[k] - 1.0));
    double squeeze = least * width / area * (1.0 - O3_MARGIN);
    const double start = exp(low * (x[k] - 1.0)) * scale * (1.0 + O3_MARGIN);
    const double end = exp(low * (x[k + 1] - 1.0)) * scale * (1.0 + O3_MARGIN);
    const int wide = width > 0.0;
    if (1.0 < squeeze) squeeze = 1.0;
    p->left = x[k];
    p->squeeze = squeeze;
    p->span = squeeze > 0.0 ? width / squeeze : 0.0;
    p->width = width;
    p->slope = wide ? squeeze * top : 0.0;
    p->chord = start;
    p->chord_slope = wide ? (end - start) / width : 0.0;
    f->left = p->left;
    f->scale = p->span * 0x1p-53;
    f->threshold = p->squeeze > 0.0 ? (uint64_t)ceil(p->squeeze * 0x1p53) : 0;
  }
}

/* Each record: "i H Nd_poi loss a", then Nd_poi + 1 points. */
static int o3_read_records(const char **at) {
  double x[O3_ND + 1];
  long count, index, nd;
  double H, loss;
  int g, k;
  if (!o3_integer(at, &count) || count != O3_HISTOGRAMS - 1) return 0;
  for (g = 0; g < O3_HISTOGRAMS; ++g) {
    if (!o3_integer(at, &index) || !o3_real(at, &H) || !o3_integer(at, &nd) ||
        !o3_real(at, &loss) || !o3_real(at, &o3_area[g]) || index != g ||
        nd != O3_ND) {
      return 0;
    }
    for (k = 0; k <= O3_ND; ++k) {
      if (!o3_real(at, &x[k])) return 0;
    }
    o3_prepare(g, x);
  }
  return 1;
}

int o3_load(const char *path) {
  size_t size = 0;
  const char *at;
  int line, ok;
  char *bytes;
  o3_free();
  bytes = o3_read_file(path, &size);
  if (bytes == NULL) return o3_fail(O3_CANNOT_READ, path, "cannot be read");
  if (o3_fnv1a64(bytes, size) != O3_FNV1A64) {
    free(bytes);
    return o3_fail(O3_OTHER_FILE, path,
                   "O3.res is not the file this sampler was made for");
  }
  o3_pieces = (struct o3_piece *)malloc((size_t)O3_HISTOGRAMS * O3_ND * sizeof *o3_pieces);
  o3_fasts = (struct o3_fast *)malloc((size_t)O3_HISTOGRAMS * O3_ND * sizeof *o3_fasts);
  if (o3_pieces == NULL || o3_fasts == NULL) {
    free(bytes);
    return o3_fail(O3_NO_MEMORY, path, "no memory for the tables");
  }
  at = bytes;
  for (line = 1; line < O3_MAP_LINE && at != NULL; ++line) {
    at = strchr(at, '\n');
    if (at != NULL) ++at;
  }
  ok = at != NULL && o3_read_map(&at) && o3_read_records(&at);
  free(bytes);
  if (!ok) return o3_fail(O3_MALFORMED, path, "its numbers cannot be read");
  o3_message_text[0] = '\0';
  return O3_LOADED;
}

const char *o3_message(void) { return o3_message_text; }

void o3_free(void) {
  free(o3_pieces);
  free(o3_fasts);
  o3_pieces = NULL;
  o3_fasts = NULL;
}

/* The dense map's cell for h, routed as the lookup lines route it and taken
   to the nearest end of the map outside it. */
static size_t o3_cell_index(double h) {
  int r = 0;
  int64_t j;
  while (r < O3_ROUTES - 1 && h >= o3_bound[r]) ++r;
  j = o3_offset[r] + (int)(h / o3_step[r]);
  if ((uint64_t)j < (uint64_t)O3_CELLS) return (size_t)j;
  return j < 0 ? 0 : O3_CELLS - 1;
}

/* The top 53 bits of a random word, from one uniform. */
static uint64_t o3_word(double (*uniform)(void *state), void *state) {
  return (uint64_t)(uniform(state) * 0x1p53);
}

double o3_draw(double h, double (*uniform)(void *state), void *state) {
  const int32_t g = o3_cell_histogram[o3_cell_index(h)];
  const struct o3_piece *pieces = o3_pieces + (size_t)g * O3_ND;
  const struct o3_fast *fast = o3_fasts + (size_t)g * O3_ND;
  const double area = o3_area[g];
  /* Each try: one word gives the piece k (its high part times Nd_poi) and a
     uniform fraction v = m * 2^-53 of the box height (the rest). Below the
     squeeze the box lies under the density: v / squeeze is then a fresh
     uniform for the position. */
  for (;;) {
    const uint64_t product = o3_word(uniform, state) * O3_ND;
    const uint64_t k = product >> 53;
    const uint64_t m = product & O3_LOW53;
    const struct o3_piece *p = &pieces[k];
    double v, t, y;
    if (m < fast[k].threshold) return fast[k].left + (double)m * fast[k].scale;
    v = (double)m * 0x1p-53;
    t = (double)o3_word(uniform, state) * 0x1p-53 * p->width;
    y = p->left + t;
    /* Below the tangent accept, above the chord reject, between them ask
       the density. */
    if (v < p->squeeze + p->slope * t ||
        (v < p->chord + p->chord_slope * t &&
         v * area < p->width * exp(h * (y - 1.0)))) {
      return y;
    }
  }
}
)";

// Exact doubles as C99 hexadecimal literals: on one line, or four to an
// indented line.
std::string hex_inline(const std::vector<double>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out += checker::text("%s%a", i > 0 ? ", " : "", values[i]);
  }
  return out;
}
std::string hex_rows(const std::vector<double>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out += checker::text("%s%a%s", i % 4 == 0 ? "  " : " ", values[i],
                         i + 1 < values.size() ? "," : "");
    if (i % 4 == 3 || i + 1 == values.size()) out += "\n";
  }
  return out;
}

}  // namespace

c_sampler_files c_sampler(const table_facts& f) {
  std::vector<double> bounds;
  std::vector<double> steps;
  std::string offsets;
  for (std::size_t r = 0; r < f.routes.size(); ++r) {
    bounds.push_back(r + 1 < f.routes.size() ? f.routes[r].bound : f.H_max);
    steps.push_back(f.routes[r].step);
    offsets += checker::text("%s%" PRId64, r > 0 ? ", " : "", f.routes[r].offset);
  }
  c_sampler_files files;
  files.header = fill(header_template, {{"HEADER_LINE", header_line(f, "o3_sampler.h")},
                                        {"H0", checker::text("%a", f.H0)},
                                        {"H_MAX", checker::text("%a", f.H_max)}});
  std::vector<substitution> values = layout_substitutions(f);
  values.insert(values.end(),
      {{"HEADER_LINE", header_line(f, "o3_sampler.c")},
       {"CHECKSUM", checker::text("%016llx", static_cast<unsigned long long>(f.checksum))},
       {"BOUNDS", hex_inline(bounds)},
       {"STEPS", hex_inline(steps)},
       {"OFFSETS", offsets},
       {"LOWER", hex_rows(f.lower)},
       {"UPPER", hex_rows(f.upper)}});
  files.source = fill(source_template, values);
  return files;
}

}  // namespace o3::emit
