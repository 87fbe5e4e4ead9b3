// The sampler's files as "o3tables emit" writes them: the C header, the C
// source in one file and the Fortran module, embedded when the tool is built.
#pragma once

#include <string>

namespace o3::emit {

extern const std::string sampler_header;  // o3_sampler.h
extern const std::string sampler_source;  // o3_sampler.c
extern const std::string sampler_module;  // o3_sampler.f90

}  // namespace o3::emit
