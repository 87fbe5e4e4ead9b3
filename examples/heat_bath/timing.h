/* heat_bath --time: what each y draw costs in the 3D sweep it is made for. */
#ifndef HEAT_BATH_TIMING_H
#define HEAT_BATH_TIMING_H

#include "o3_sampler.h"
#include "options.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Prints the tables of ns per spin update and ns per draw for the sizes,
   repetitions and tables of opt (paths[k] the file of tables[k]). 0, or 1
   without memory. */
int run_timing(const struct options *opt, o3_table *const *tables, const char *const *paths,
               int table_count);

#ifdef __cplusplus
}
#endif

#endif
