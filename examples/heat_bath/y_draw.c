#include "y_draw.h"

#include <string.h>

static const char *const names[] = {"library", "inversion"};

const char *y_method_name(enum y_method method) {
  return (unsigned)method < sizeof names / sizeof names[0] ? names[method] : "?";
}

int y_method_parse(const char *name, enum y_method *method) {
  unsigned i;
  for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
    if (strcmp(name, names[i]) == 0) {
      *method = (enum y_method)i;
      return 0;
    }
  }
  return -1;
}
