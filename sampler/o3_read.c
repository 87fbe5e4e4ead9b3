/* Reading O3.res line by line: every line is matched against the form the
   tool writes, so that a damaged line is refused where it stands. */
#include "o3_internal.h"

#include "o3_format.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_POSIX_C_SOURCE)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

/* ------------------------------------------------------------------------ */
/* Messages */

/* Appends the path with its unprintable bytes, backslashes and quotes
   escaped: a file name is data and must not move the terminal.
   The tool's twin: escape_bytes in common/escape.cpp. */
static size_t put_path(char *out, size_t room, const char *path) {
  static const char hex[] = "0123456789abcdef";
  size_t n = 0;
  for (; *path != '\0' && n + 5 < room; ++path) {
    const unsigned char c = (unsigned char)*path;
    if (c == '\\' || c == '"') {
      out[n++] = '\\';
      out[n++] = (char)c;
    } else if (c == '\n') {
      out[n++] = '\\';
      out[n++] = 'n';
    } else if (c == '\t') {
      out[n++] = '\\';
      out[n++] = 't';
    } else if (c < 0x20 || c >= 0x7f) {
      out[n++] = '\\';
      out[n++] = 'x';
      out[n++] = hex[c >> 4];
      out[n++] = hex[c & 15];
    } else {
      out[n++] = (char)c;
    }
  }
  out[n] = '\0';
  return n;
}

int o3_fail(o3_error *e, int status, const char *path, long line, const char *what) {
  size_t n;
  if (e == NULL) return 0;
  e->status = status;
  e->line = line;
  n = put_path(e->message, sizeof e->message, path);
  if (line > 0) {
    snprintf(e->message + n, sizeof e->message - n, ": line %ld: %s", line, what);
  } else {
    snprintf(e->message + n, sizeof e->message - n, ": %s", what);
  }
  return 0;
}

/* ------------------------------------------------------------------------ */
/* Lines */

struct lines {
  FILE *in;
  const char *path;
  o3_error *e;
  long number; /* of the line in text */
  char text[O3_MAX_LINE + 1];
  size_t length;
  char buffer[O3_READ_BUFFER];
  size_t at, end;
  int eof;
};

static int refill(struct lines *l) {
  if (l->eof) return 0;
  l->at = 0;
  l->end = fread(l->buffer, 1, sizeof l->buffer, l->in);
  if (l->end == 0) {
    l->eof = 1;
    return 0;
  }
  return 1;
}

/* The next line into l->text without its line end; 0 (with the refusal
   set) at the end of the file, or on a line that is too long, holds a NUL
   byte, or is cut without a line end.
   The tool's twin: common/line_reader.cpp. */
static void describe(const char *form, char *out, size_t room);

static int next_line(struct lines *l, const char *form) {
  char what[240];
  char expected[160];
  l->length = 0;
  ++l->number;
  for (;;) {
    const char *start, *newline;
    size_t n;
    if (l->at == l->end && !refill(l)) {
      if (ferror(l->in)) {
        return o3_fail(l->e, O3_CANNOT_READ, l->path, l->number, strerror(errno));
      }
      describe(form, expected, sizeof expected);
      if (l->length == 0) {
        snprintf(what, sizeof what, "the file ends; expected %s", expected);
      } else {
        snprintf(what, sizeof what,
                 "the file ends inside this line, which has "
                 "no line end; expected %s",
                 expected);
      }
      return o3_fail(l->e, O3_REFUSED, l->path, l->number, what);
    }
    start = l->buffer + l->at;
    newline = (const char *)memchr(start, '\n', l->end - l->at);
    n = newline != NULL ? (size_t)(newline - start) : l->end - l->at;
    if (l->length + n > O3_MAX_LINE) {
      describe(form, expected, sizeof expected);
      snprintf(what, sizeof what, "longer than %d bytes; expected %s", O3_MAX_LINE, expected);
      return o3_fail(l->e, O3_REFUSED, l->path, l->number, what);
    }
    memcpy(l->text + l->length, start, n);
    l->length += n;
    l->at += n;
    if (newline != NULL) {
      ++l->at;
      break;
    }
  }
  l->text[l->length] = '\0';
  if (strlen(l->text) != l->length) {
    return o3_fail(l->e, O3_REFUSED, l->path, l->number, "a NUL byte: this is not a text file");
  }
  return 1;
}

/* ------------------------------------------------------------------------ */
/* Forms are the printf formats of o3_format.h, a line at a time: "%d" an
   integer, "%f" a real with six decimals, "%20.16e" a real right-aligned in
   a field of 20, "%%" a percent sign, any other character itself; a line
   ends at its '\n'. */

/* The length of the conversion at form and its kind ('d', 'f', 'e' or
   '%'); 0 when form does not start one. */
static size_t conversion(const char *form, char *kind) {
  if (form[0] != '%') return 0;
  if (form[1] == 'd' || form[1] == 'f' || form[1] == '%') {
    *kind = form[1];
    return 2;
  }
  if (strncmp(form, "%20.16e", 7) == 0) {
    *kind = 'e';
    return 7;
  }
  return 0;
}

static int digits(const char *s, size_t *i) {
  const size_t start = *i;
  while (s[*i] >= '0' && s[*i] <= '9') ++*i;
  return (int)(*i - start);
}

/* Length of the number of the given kind at s, 0 when there is none. */
static size_t number_at(const char *s, char kind) {
  size_t i = 0;
  if (s[i] == '-') ++i;
  if (kind == 'd') return digits(s, &i) > 0 ? i : 0;
  if (kind == 'f') {
    if (digits(s, &i) == 0 || s[i] != '.') return 0;
    ++i;
    return digits(s, &i) == 6 ? i : 0;
  }
  if (digits(s, &i) != 1 || s[i] != '.') return 0;
  ++i;
  if (digits(s, &i) != 16 || s[i] != 'e') return 0;
  ++i;
  if (s[i] != '+' && s[i] != '-') return 0;
  ++i;
  return digits(s, &i) >= 2 ? i : 0;
}

/* The longest number read, far longer than any the tool writes: a longer
   one is not in the tool's form. */
#define O3_LONGEST_NUMBER 63

/* Matches the whole line against the form's line at *form, storing its
   numbers at *values; on success *form and *values are past them. */
static int match(const char *line, const char **form, double **values) {
  const char *f = *form;
  double *v = *values;
  size_t at = 0;
  while (*f != '\0' && *f != '\n') {
    char kind = 0;
    const size_t length = conversion(f, &kind);
    if (length > 0 && kind != '%') {
      size_t n;
      if (kind == 'e') {
        size_t blanks = 0;
        while (line[at + blanks] == ' ') ++blanks;
        n = number_at(line + at + blanks, kind);
        if (n < 20 ? blanks != 20 - n : blanks != 0) return 0;
        at += blanks;
      } else {
        n = number_at(line + at, kind);
      }
      if (n == 0 || n > O3_LONGEST_NUMBER) return 0;
      *v++ = o3_decimal(line + at, n);
      at += n;
      f += length;
    } else {
      if (line[at] != *f) return 0;
      ++at;
      f += length > 0 ? 2 : 1;
    }
  }
  if (line[at] != '\0') return 0;
  *form = *f == '\n' ? f + 1 : f;
  *values = v;
  return 1;
}

/* The form's line at form in words for a message: every number as
   <integer> or <real>, a tab as \t. */
static void describe(const char *form, char *out, size_t room) {
  size_t n = 0;
  out[n++] = '"';
  while (*form != '\0' && *form != '\n' && n + 12 < room) {
    char kind = 0;
    const size_t length = conversion(form, &kind);
    const char *piece = kind == 'd' ? "<integer>" : kind == '%' ? "%" : "<real>";
    char one[2] = {0, 0};
    if (length == 0) {
      one[0] = *form;
      piece = *form == '\t' ? "\\t" : one;
    }
    while (*piece != '\0' && n + 2 < room) out[n++] = *piece++;
    form += length > 0 ? length : 1;
  }
  out[n++] = '"';
  out[n] = '\0';
}

/* Reads the lines of a format, each of which must match its line. */
static int expect(struct lines *l, const char *format, double *values) {
  char want[160];
  char what[200];
  while (*format != '\0') {
    if (!next_line(l, format)) return 0;
    if (!match(l->text, &format, &values)) {
      describe(format, want, sizeof want);
      snprintf(what, sizeof what, "expected %s", want);
      return o3_fail(l->e, O3_REFUSED, l->path, l->number, what);
    }
  }
  return 1;
}

static int refuse(struct lines *l, const char *what) {
  return o3_fail(l->e, O3_REFUSED, l->path, l->number, what);
}

/* An integer read as a real, which holds it exactly in this range. */
static int in_range(double v, double low, double high) { return v >= low && v <= high; }

/* ------------------------------------------------------------------------ */
/* Growing arrays: memory follows what the file has shown, never the counts
   it claims. */

static int resize(void **array, size_t size, int count) {
  void *more = realloc(*array, (size_t)count * size);
  if (more == NULL) return 0;
  *array = more;
  return 1;
}

static int more_room(int room) { return room < 16 ? 16 : 2 * room; }

static int no_memory(struct lines *l) {
  return o3_fail(l->e, O3_NO_MEMORY, l->path, 0, "no memory for the tables");
}

/* ------------------------------------------------------------------------ */
/* The parts of the file */

static int read_header(struct lines *l, struct o3_file *f) {
  double v[3], w[3];
  if (!expect(l, O3_TITLE, v)) return 0;
  f->h0 = v[0];
  f->h_max = v[1];
  f->losses = v[2];
  if (!(f->h0 >= 0.0)) return refuse(l, "H0 must be at least 0");
  if (!(f->h_max > f->h0)) return refuse(l, "H_max must be above H0");
  if (!(f->losses > 0.0)) return refuse(l, "the losses must be above 0");
  if (!expect(l, O3_RULE, NULL) || !expect(l, O3_COPY_HEAD, NULL) ||
      !expect(l, O3_HEAD_IN_C, NULL) || !expect(l, O3_DEFINE_ND_POI, &v[0]) ||
      !expect(l, O3_DEFINE_N_HISTOGRAM, &v[1]) || !expect(l, O3_DEFINE_N_H_MAX, &v[2]) ||
      !expect(l, O3_DASH, NULL) || !expect(l, O3_HEAD_IN_FORTRAN, NULL) ||
      !expect(l, O3_PARAMETER, w)) {
    return 0;
  }
  if (w[0] != v[0] || w[1] != v[1] || w[2] != v[2]) {
    return refuse(l, "the PARAMETER line differs from the #define lines");
  }
  if (!expect(l, O3_DASH, NULL)) return 0;
  if (!in_range(v[0], 1, O3_MAX_PIECES)) {
    return o3_fail(l->e, O3_REFUSED, l->path, 5, "Nd_poi must be from 1 to 600");
  }
  if (!in_range(v[1], 0, O3_MAX_HISTOGRAMS - 1)) {
    return o3_fail(l->e, O3_REFUSED, l->path, 6, "N_histogram must be from 0 to 99999");
  }
  if (!in_range(v[2], 6, O3_MAX_MAP_ENTRIES + 5)) {
    return o3_fail(l->e, O3_REFUSED, l->path, 7, "N_H_max must be from 6 to 100005");
  }
  f->nd = (int)v[0];
  f->n_histogram = (int)v[1];
  f->entries = (int)v[2] - 5; /* confirmed by the map's count line */
  return 1;
}

/* The C lookup lines up to their closing line, then the FORTRAN ones, which
   must say the same. */
static int read_lookup(struct lines *l, struct o3_file *f) {
  double v[3];
  int k;
  if (!expect(l, O3_COPY_SNIPPET, NULL) || !expect(l, O3_SNIPPET_IN_C, NULL)) {
    return 0;
  }
  f->lookup_line = l->number + 1;
  for (;;) {
    const char *form = f->lookups == 0 ? O3_C_LOOKUP : O3_C_ELSE O3_C_LOOKUP;
    const char *at = O3_C_CLOSE;
    double *out = v;
    struct o3_lookup *p = &f->lookup[f->lookups];
    if (!next_line(l, form)) return 0;
    if (f->lookups > 0 && match(l->text, &at, &out)) {
      if (v[0] != f->h_max || f->lookup[f->lookups - 1].bound != f->h_max) {
        return refuse(l, "the last lookup bound must be H_max of line 1");
      }
      break;
    }
    at = form;
    out = v;
    if (!match(l->text, &at, &out)) {
      char want[160], what[240];
      describe(form, want, sizeof want);
      snprintf(what, sizeof what, "expected %s%s", want,
               f->lookups > 0 ? " or the closing \"else {printf(...\" line" : "");
      return refuse(l, what);
    }
    if (f->lookups == O3_MAX_LOOKUP_LINES) return refuse(l, "more than 99 lookup lines");
    if (!in_range(v[1], -2147483647.0, 2147483647.0)) {
      return refuse(l, "the base index does not fit an int");
    }
    p->bound = v[0];
    p->base = (long)v[1];
    p->step = v[2];
    if (!(p->step > 0.0)) return refuse(l, "the step must be above 0");
    if (f->lookups > 0 && !(p->bound > f->lookup[f->lookups - 1].bound)) {
      return refuse(l, "the lookup bounds must increase");
    }
    if (p->bound > f->h_max) return refuse(l, "a lookup bound above H_max");
    ++f->lookups;
  }
  if (!expect(l, O3_DASH, NULL) || !expect(l, O3_SNIPPET_IN_FORTRAN, NULL)) return 0;
  for (k = 0; k < f->lookups; ++k) {
    const struct o3_lookup *p = &f->lookup[k];
    if (!expect(l, k == 0 ? O3_FORTRAN_LOOKUP : O3_FORTRAN_ELSE O3_FORTRAN_LOOKUP, v)) return 0;
    if (v[0] != p->bound || v[1] != (double)p->base || v[2] != p->step) {
      return refuse(l, "the FORTRAN lookup differs from the C one");
    }
  }
  if (!expect(l, O3_FORTRAN_CLOSE, v)) return 0;
  if (v[0] != f->h_max) {
    /* The bound is on the second of the closing lines, read up to the last. */
    return o3_fail(l->e, O3_REFUSED, l->path, l->number - 2,
                   "the last lookup bound must be H_max of line 1");
  }
  return expect(l, O3_END_COPY, NULL);
}

static int read_map(struct lines *l, struct o3_file *f) {
  double v[2];
  int room = 0, e;
  if (!expect(l, O3_COUNT, v)) return 0;
  if (v[0] != (double)f->entries) {
    return refuse(l, "the number of map entries must be N_H_max - 5");
  }
  f->map_line = l->number + 1;
  for (e = 0; e < f->entries; ++e) {
    if (!expect(l, O3_MAP_ENTRY, v)) return 0;
    if (e == room) {
      room = more_room(room);
      if (!resize((void **)&f->map_j, sizeof *f->map_j, room) ||
          !resize((void **)&f->map_g, sizeof *f->map_g, room)) {
        return no_memory(l);
      }
    }
    if (!in_range(v[0], -2147483647.0, 2147483647.0)) {
      return refuse(l, "the map index does not fit an int");
    }
    if (e > 0 && !(v[0] > (double)f->map_j[e - 1])) {
      return refuse(l, "the map indices must increase");
    }
    if (!in_range(v[1], 0, f->n_histogram)) {
      return refuse(l, "the map names a histogram the file does not hold");
    }
    f->map_j[e] = (int32_t)v[0];
    f->map_g[e] = (int32_t)v[1];
  }
  return 1;
}

static int read_records(struct lines *l, struct o3_file *f) {
  const size_t points = (size_t)f->nd + 1;
  double v[5];
  int room = 0, g;
  if (!expect(l, O3_COUNT, v)) return 0;
  if (v[0] != (double)f->n_histogram) {
    return refuse(l, "the number here must be N_histogram");
  }
  for (g = 0; g <= f->n_histogram; ++g) {
    size_t k;
    double *x;
    if (!expect(l, O3_RECORD, v)) return 0;
    if (g == room) {
      room = more_room(room);
      if (!resize((void **)&f->record_line, sizeof *f->record_line, room) ||
          !resize((void **)&f->coupling, sizeof *f->coupling, room) ||
          !resize((void **)&f->loss, sizeof *f->loss, room) ||
          !resize((void **)&f->area, sizeof *f->area, room) ||
          !resize((void **)&f->x, points * sizeof *f->x, room)) {
        return no_memory(l);
      }
    }
    if (v[0] != (double)g) return refuse(l, "the histograms must be numbered in order from 0");
    if (v[2] != (double)f->nd) return refuse(l, "the number of pieces must be Nd_poi");
    f->record_line[g] = l->number;
    f->coupling[g] = v[1];
    f->loss[g] = v[3];
    f->area[g] = v[4];
    x = f->x + (size_t)g * points;
    for (k = 0; k < points; ++k) {
      if (!expect(l, O3_POINT, &x[k])) return 0;
    }
    f->histograms = g + 1;
  }
  if (l->at < l->end || refill(l)) {
    ++l->number;
    return refuse(l, "the file goes on after the last histogram");
  }
  return 1;
}

/* ------------------------------------------------------------------------ */
/* Opening. The tool's twin: open_regular_file in common/input_file.cpp. */

FILE *o3_open_file(const char *path, o3_error *e) {
#if defined(_POSIX_C_SOURCE)
  struct stat s;
  FILE *in;
  const char *kind = NULL;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    o3_fail(e, O3_CANNOT_READ, path, 0, strerror(errno));
    return NULL;
  }
  if (fstat(fd, &s) != 0) {
    o3_fail(e, O3_CANNOT_READ, path, 0, strerror(errno));
    close(fd);
    return NULL;
  }
  if (S_ISDIR(s.st_mode)) kind = "is a directory, not a table";
  else if (S_ISFIFO(s.st_mode)) kind = "is a FIFO, not a table";
  else if (S_ISCHR(s.st_mode) || S_ISBLK(s.st_mode)) kind = "is a device, not a table";
  else if (!S_ISREG(s.st_mode)) kind = "is not a regular file";
  if (kind != NULL) {
    o3_fail(e, O3_CANNOT_READ, path, 0, kind);
    close(fd);
    return NULL;
  }
  in = fdopen(fd, "rb");
  if (in == NULL) {
    o3_fail(e, O3_CANNOT_READ, path, 0, strerror(errno));
    close(fd);
  }
  return in;
#else
  FILE *in = fopen(path, "rb");
  if (in == NULL) o3_fail(e, O3_CANNOT_READ, path, 0, strerror(errno));
  return in;
#endif
}

int o3_read_stream(FILE *in, const char *path, struct o3_file *f, o3_error *e) {
  int ok;
  struct lines *l = (struct lines *)calloc(1, sizeof *l);
  if (l == NULL) return o3_fail(e, O3_NO_MEMORY, path, 0, "no memory for the tables");
  l->in = in;
  l->path = path;
  l->e = e;
  ok = read_header(l, f) && read_lookup(l, f) && read_map(l, f) && read_records(l, f);
  free(l);
  return ok;
}

void o3_free_file(struct o3_file *f) {
  free(f->map_j);
  free(f->map_g);
  free(f->record_line);
  free(f->coupling);
  free(f->loss);
  free(f->area);
  free(f->x);
}
