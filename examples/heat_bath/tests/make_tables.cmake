# Makes the tables the heat-bath tests draw from, with the built tool, in
# DIR: to20 (H_max 20.5 > 2 beta at beta = 10 in the chain) and to4 (too
# small for that chain, so that its draws fall outside).
file(REMOVE_RECURSE ${DIR})
foreach(table "to20;20.5" "to4;4")
  list(GET table 0 name)
  list(GET table 1 h_max)
  file(MAKE_DIRECTORY ${DIR}/${name})
  execute_process(COMMAND ${TOOL} --h0 0 --hmax ${h_max} --losses 10 --yes
    WORKING_DIRECTORY ${DIR}/${name} OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "o3tables did not make the table up to ${h_max}: ${status}")
  endif()
endforeach()
