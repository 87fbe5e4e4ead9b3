/* Opening and closing a table, and what it holds. */
#include "o3_internal.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

void o3_close(o3_table *t) {
  struct o3_private *p;
  if (t == NULL) return;
  p = t->rest;
  if (p != NULL) {
    o3_free_file(&p->file);
    free(p->lower);
    free(p->upper);
    free(p->routes);
    free(p->cells);
    free(p->fast);
    free(p->pieces);
    free(p);
  }
  free(t);
}

static void succeeded(o3_error *error) {
  if (error != NULL) {
    error->status = O3_OK;
    error->line = 0;
    error->message[0] = '\0';
  }
}

void o3_set_engine(o3_table *t, int engine) {
  t->rest->engine = engine;
  if (engine == O3_ENGINE_TABLES) {
    t->exponential_from = O3_INFINITY;
    t->uniform_below = 0.0;
  } else {
    t->exponential_from = O3_EXPONENTIAL_FROM;
    t->uniform_below = O3_EXPONENTIAL_FROM;
  }
}

static o3_table *without_memory(o3_table *t, const char *path, o3_error *error) {
  o3_close(t);
  o3_fail(error, O3_NO_MEMORY, path, 0, "no memory for the tables");
  return NULL;
}

/* A sampler without a table: no coupling is in the tables' range. */
static o3_table *open_without_table(int engine, o3_error *error) {
  o3_table *t = (o3_table *)calloc(1, sizeof *t);
  if (t != NULL) t->rest = (struct o3_private *)calloc(1, sizeof *t->rest);
  if (t == NULL || t->rest == NULL) return without_memory(t, "(no table)", error);
  t->h0 = O3_INFINITY;
  t->h_max = -O3_INFINITY;
  t->rest->file.h0 = O3_NAN;
  t->rest->file.h_max = O3_NAN;
  t->rest->file.losses = O3_NAN;
  t->rest->surplus = O3_NAN;
  o3_set_engine(t, engine);
  succeeded(error);
  return t;
}

o3_table *o3_open_engine(const char *path, int engine, o3_error *error) {
  o3_table *t;
  FILE *in;
  if (engine != O3_ENGINE_DEFAULT && engine != O3_ENGINE_TABLES &&
      engine != O3_ENGINE_EXPONENTIAL) {
    o3_fail(error, O3_BAD_ENGINE, path != NULL ? path : "", 0, "no such engine");
    return NULL;
  }
  if (engine == O3_ENGINE_EXPONENTIAL && path != NULL) {
    o3_fail(error, O3_BAD_ENGINE, path, 0,
            "the exponential engine reads no table: "
            "open it with no file name");
    return NULL;
  }
  if (path == NULL) {
    if (engine != O3_ENGINE_TABLES) return open_without_table(engine, error);
    o3_fail(error, O3_CANNOT_READ, "", 0, "no file name: the tables engine draws from a table");
    return NULL;
  }
  in = o3_open_file(path, error);
  if (in == NULL) return NULL;
  t = o3_open_stream(in, path, error);
  fclose(in);
  if (t != NULL) o3_set_engine(t, engine);
  return t;
}

o3_table *o3_open(const char *path, o3_error *error) {
  return o3_open_engine(path, O3_ENGINE_DEFAULT, error);
}

int o3_engine(const o3_table *t) { return t != NULL ? t->rest->engine : -1; }

o3_table *o3_open_stream(FILE *in, const char *path, o3_error *error) {
  o3_table *t = (o3_table *)calloc(1, sizeof *t);
  if (t != NULL) t->rest = (struct o3_private *)calloc(1, sizeof *t->rest);
  if (t == NULL || t->rest == NULL) return without_memory(t, path, error);
  if (!o3_read_stream(in, path, &t->rest->file, error) || !o3_validate(path, t->rest, error)) {
    o3_close(t);
    return NULL;
  }
  if (!o3_prepare(t)) return without_memory(t, path, error);
  o3_set_engine(t, O3_ENGINE_DEFAULT);
  succeeded(error);
  return t;
}

static const struct o3_file *file_of(const o3_table *t) { return &t->rest->file; }

static int valid(const o3_table *t, int g) {
  return t != NULL && g >= 0 && g < file_of(t)->histograms;
}

double o3_h0(const o3_table *t) { return t != NULL ? file_of(t)->h0 : O3_NAN; }
double o3_h_max(const o3_table *t) { return t != NULL ? file_of(t)->h_max : O3_NAN; }
double o3_losses(const o3_table *t) { return t != NULL ? file_of(t)->losses : O3_NAN; }
int o3_pieces_per_histogram(const o3_table *t) { return t != NULL ? file_of(t)->nd : 0; }
int o3_histogram_count(const o3_table *t) { return t != NULL ? file_of(t)->histograms : 0; }
int o3_map_entry_count(const o3_table *t) { return t != NULL ? file_of(t)->entries : 0; }
int o3_lookup_line_count(const o3_table *t) { return t != NULL ? file_of(t)->lookups : 0; }

double o3_lookup_bound(const o3_table *t, int k) {
  return t != NULL && k >= 0 && k < file_of(t)->lookups ? file_of(t)->lookup[k].bound : O3_NAN;
}

double o3_histogram_coupling(const o3_table *t, int g) {
  return valid(t, g) ? file_of(t)->coupling[g] : O3_NAN;
}
double o3_histogram_loss(const o3_table *t, int g) {
  return valid(t, g) ? file_of(t)->loss[g] : O3_NAN;
}
double o3_histogram_area(const o3_table *t, int g) {
  return valid(t, g) ? file_of(t)->area[g] : O3_NAN;
}
const double *o3_histogram_points(const o3_table *t, int g) {
  return valid(t, g) ? file_of(t)->x + (size_t)g * ((size_t)file_of(t)->nd + 1) : NULL;
}
double o3_smallest_served(const o3_table *t, int g) {
  return valid(t, g) ? t->rest->lower[g] : O3_NAN;
}
double o3_largest_served(const o3_table *t, int g) {
  return valid(t, g) ? t->rest->upper[g] : O3_NAN;
}

int o3_histogram_of(const o3_table *t, double h) {
  int64_t j;
  if (t == NULL) return -1;
  j = o3_cell_of(t, h);
  return j >= 0 ? t->cells[j].histogram : -1;
}

double o3_least_surplus(const o3_table *t, int *g, int *k) {
  if (t == NULL) return O3_NAN;
  if (g != NULL) *g = t->rest->surplus_g;
  if (k != NULL) *k = t->rest->surplus_k;
  return t->rest->surplus;
}
