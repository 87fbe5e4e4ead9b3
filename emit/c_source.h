// The C99 sampler generated for one O3.res: o3_sampler.h and o3_sampler.c.
#pragma once

#include <string>

#include "emit/table_facts.h"

namespace o3::emit {

struct c_sampler_files {
  std::string header;  // o3_sampler.h
  std::string source;  // o3_sampler.c
};

// The texts of the two files, with the table's constants filled in.
c_sampler_files c_sampler(const table_facts& f);

}  // namespace o3::emit
