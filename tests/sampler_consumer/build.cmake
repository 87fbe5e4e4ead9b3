# Configures and builds the consumer project against the library's sources;
# the consumer test then runs it on a table the tool writes.
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DO3_SAMPLER_DIR=${SAMPLER}
    -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the consumer project does not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the consumer project does not build")
endif()
