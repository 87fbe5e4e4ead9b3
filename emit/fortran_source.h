// The FORTRAN sampler generated for one O3.res: module o3_sampler in
// o3_sampler.f90.
#pragma once

#include <string>

#include "emit/table_facts.h"

namespace o3::emit {

// The text of o3_sampler.f90, with the table's constants filled in.
std::string fortran_sampler(const table_facts& f);

}  // namespace o3::emit
