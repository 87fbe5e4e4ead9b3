# Configures and builds the consumer project against the o3tables sources;
# the consumer test then runs it on a table the tool writes. The project
# must hold no target of o3tables but the library: no tool, tests, examples
# or benchmarks in a user's build (read from CMake's file API).
file(REMOVE_RECURSE ${BINARY}/.cmake/api/v1/reply)
file(WRITE ${BINARY}/.cmake/api/v1/query/codemodel-v2 "")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DO3TABLES_DIR=${O3TABLES}
    -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the consumer project does not configure")
endif()
file(GLOB index ${BINARY}/.cmake/api/v1/reply/index-*.json)
file(READ "${index}" text)
string(JSON codemodel GET "${text}" reply codemodel-v2 jsonFile)
file(READ ${BINARY}/.cmake/api/v1/reply/${codemodel} text)
string(JSON count LENGTH "${text}" configurations 0 targets)
math(EXPR last "${count} - 1")
set(targets "")
foreach(i RANGE ${last})
  string(JSON name GET "${text}" configurations 0 targets ${i} name)
  list(APPEND targets ${name})
endforeach()
list(SORT targets)
if(NOT targets STREQUAL "consumer;o3_sampler")
  message(FATAL_ERROR "the consumer project holds the targets ${targets}, not consumer and "
    "o3_sampler alone")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the consumer project does not build")
endif()
