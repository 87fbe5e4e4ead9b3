# The folders depend one way, from the top down:
#
#   driver/main.cpp  the tool's dispatch: driver, checker, emit
#   checker/, emit/  the subcommands: sampler, common
#   driver/          the table run: partition, numeric, common, the O3.res
#                    format of sampler/o3_format.h and its reader
#                    sampler/o3_sampler.h
#   partition/       numeric, the run parameters
#   numeric/         the run parameters
#   driver/run_parameters.h, driver/density.h   the bottom of the run
#   common/          shared helpers: the standard library and POSIX only
#   sampler/         stands alone: the C and C++ standard libraries only
#   examples/        the sampler
#
# Each file may include headers of its own folder and of the folders its
# rule names; this script fails on any other include.
#   cmake -DSOURCE_DIR=<the project> -P dependency_rule.cmake
set(rule_common "common/")
set(rule_sampler "sampler/")
set(rule_numeric "numeric/;driver/run_parameters.h;driver/density.h")
set(rule_partition "partition/;numeric/;driver/run_parameters.h;driver/density.h")
set(rule_driver "driver/;partition/;numeric/;common/;sampler/o3_format.h;sampler/o3_sampler.h")
set(rule_main "driver/;checker/check_command.h;emit/emit_command.h;common/")
set(rule_checker "checker/;sampler/;common/")
set(rule_emit "emit/;sampler/;common/")
set(rule_examples "sampler/")

set(broken "")
foreach(folder common sampler numeric partition driver checker emit examples)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.c ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file ${files})
    set(rule "${rule_${folder}}")
    if(file STREQUAL "driver/main.cpp")
      set(rule "${rule_main}")
    endif()
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^#include \"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" header "${line}")
      # A header named without a folder is its neighbour's.
      if(NOT header MATCHES "/")
        continue()
      endif()
      set(allowed FALSE)
      foreach(prefix ${rule})
        string(FIND "${header}" "${prefix}" at)
        if(at EQUAL 0)
          set(allowed TRUE)
        endif()
      endforeach()
      if(NOT allowed)
        string(APPEND broken "  ${file} includes ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(broken)
  message(FATAL_ERROR "includes against the folders' dependency rule:\n${broken}")
endif()
message(STATUS "every include follows the folders' dependency rule")
