# The folders depend one way, from the top down:
#
#   tool/            main: the table run and the subcommands, through the
#                    header of each command
#   checker/, emit/  the subcommands: sampler, common
#   driver/          the table run: partition, numeric, parameters, common,
#                    the O3.res format of sampler/o3_format.h and its reader
#                    sampler/o3_sampler.h
#   partition/       numeric, parameters
#   numeric/         parameters, common (the exit statuses)
#   parameters/      the run parameters and the density, the bottom of the
#                    run: sampler/o3_format.h, for what a table may hold
#   common/          shared helpers: the standard library and POSIX only
#   sampler/         stands alone: the C and C++ standard libraries only
#   examples/        the sampler
#
# Each file may include headers of its own folder and of what its folder's
# rule names; this script fails on any other include.
#   cmake -DSOURCE_DIR=<the project> -P dependency_rule.cmake
set(rule_tool "tool/;driver/tables_command.h;checker/check_command.h;emit/emit_command.h;common/")
set(rule_checker "checker/;sampler/;common/")
set(rule_emit "emit/;sampler/;common/")
set(rule_driver
  "driver/;partition/;numeric/;parameters/;common/;sampler/o3_format.h;sampler/o3_sampler.h")
set(rule_partition "partition/;numeric/;parameters/")
set(rule_numeric "numeric/;parameters/;common/")
set(rule_parameters "parameters/;sampler/o3_format.h")
set(rule_common "common/")
set(rule_sampler "sampler/")
set(rule_examples "sampler/")

set(broken "")
foreach(folder tool checker emit driver partition numeric parameters common sampler examples)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
    ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.c ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file ${files})
    set(rule "${rule_${folder}}")
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
