# Builds the consumer project against the library's sources and runs it on
# a table the tool writes.
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DO3_SAMPLER_DIR=${SAMPLER}
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the consumer project does not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the consumer project does not build")
endif()

# A small table from the tool, then one draw from it.
file(WRITE ${BINARY}/answers "0\n3\n10\n1\n")
execute_process(COMMAND ${TOOL} WORKING_DIRECTORY ${BINARY}
  INPUT_FILE ${BINARY}/answers OUTPUT_QUIET RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "the tool did not write O3.res")
endif()
execute_process(COMMAND ${BINARY}/consumer ${BINARY}/O3.res
  OUTPUT_VARIABLE drawn RESULT_VARIABLE ran)
if(NOT ran EQUAL 0 OR NOT drawn STREQUAL "1\n")
  message(FATAL_ERROR "the consumer's draw failed: '${drawn}'")
endif()
