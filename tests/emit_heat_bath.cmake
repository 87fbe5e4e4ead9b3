# Builds the heat-bath driver on the C sampler emitted for a fresh table and
# runs it: its sweeps must end with a finite energy.
file(REMOVE_RECURSE ${DIR})
file(MAKE_DIRECTORY ${DIR})
file(WRITE ${DIR}/answers "0\n20\n10\n1\n")
execute_process(COMMAND ${TOOL} WORKING_DIRECTORY ${DIR} INPUT_FILE ${DIR}/answers
  OUTPUT_QUIET RESULT_VARIABLE made)
execute_process(COMMAND ${TOOL} emit --lang c WORKING_DIRECTORY ${DIR}
  OUTPUT_QUIET RESULT_VARIABLE emitted)
if(NOT made EQUAL 0 OR NOT emitted EQUAL 0)
  message(FATAL_ERROR "the tool did not write O3.res and the C sampler")
endif()
execute_process(COMMAND ${CC} -std=c99 -O2 -Wall -Wextra -Werror -ffp-contract=off
    -I${DIR} ${SOURCE} ${DIR}/o3_sampler.c -lm -o ${DIR}/heat_bath
  RESULT_VARIABLE built ERROR_VARIABLE errors)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the heat-bath driver does not build:\n${errors}")
endif()
execute_process(COMMAND ${DIR}/heat_bath ${DIR}/O3.res OUTPUT_VARIABLE out
  ERROR_VARIABLE errors RESULT_VARIABLE ran)
message(STATUS "${out}")
if(NOT ran EQUAL 0 OR NOT out MATCHES "energy per spin -?[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "the sweeps failed (${ran}): ${out}${errors}")
endif()
file(REMOVE_RECURSE ${DIR})
