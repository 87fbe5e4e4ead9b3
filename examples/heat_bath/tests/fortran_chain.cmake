# Runs the Fortran heat bath on the chain and compares its energy per bond
# with the exact one of the infinite chain, within four of its errors: once
# long, once with a number of sweeps that its 20 bins do not divide; then
# checks that options it cannot use are refused.
#   cmake -DPROGRAM=<heat_bath_fortran> -DTABLE=<O3.res> -P fortran_chain.cmake

# CMake compares integers only: the millionths of a number of at most six
# decimals, "-0.002202" giving -2202 and "0.0059" 5900, its leading zeros
# dropped by a single match. A REGEX REPLACE anchored at the start would be
# applied again after each match and drop the zeros inside the number as
# well.
function(millionths value out)
  if(NOT value MATCHES "^(-?)([0-9]+)\\.([0-9]*)$")
    message(FATAL_ERROR "not a number with a decimal point: ${value}")
  endif()
  set(sign "${CMAKE_MATCH_1}")
  set(fraction "${CMAKE_MATCH_3}000000")
  string(SUBSTRING "${fraction}" 0 6 fraction)
  if(NOT "${CMAKE_MATCH_2}${fraction}" MATCHES "^0*([0-9]+)$")
    message(FATAL_ERROR "not a number with a decimal point: ${value}")
  endif()
  set(${out} "${sign}${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

foreach(case "0.002202;2202" "-0.500000;-500000" "0.000000;0" "-1.000100;-1000100"
    "-0.53;-530000" "0.0059;5900" "12.5;12500000")
  list(GET case 0 value)
  list(GET case 1 expected)
  millionths(${value} got)
  if(NOT got STREQUAL expected)
    message(FATAL_ERROR "the millionths of ${value} came out ${got}, not ${expected}")
  endif()
endforeach()

function(expect_exact sweeps seed)
  math(EXPR therm "${sweeps} / 10")
  execute_process(COMMAND ${PROGRAM} --lattice chain --L 1000 --beta 2 --therm ${therm}
      --sweeps ${sweeps} --bins 20 --seed ${seed} --engine tables --table ${TABLE}
    OUTPUT_VARIABLE out RESULT_VARIABLE ran)
  if(NOT ran EQUAL 0)
    message(FATAL_ERROR "the program failed (${ran}): ${out}")
  endif()
  string(REGEX MATCH "energy per bond +(-?[0-9.]+) \\+- +([0-9.]+)" found "${out}")
  set(energy ${CMAKE_MATCH_1})
  set(error ${CMAKE_MATCH_2})
  string(REGEX MATCH "infinite chain, exact +(-?[0-9.]+)" found "${out}")
  set(exact ${CMAKE_MATCH_1})
  if(NOT energy OR NOT error OR NOT exact)
    message(FATAL_ERROR "no energy in: ${out}")
  endif()
  foreach(name energy error exact)
    millionths(${${name}} ${name}_micro)
  endforeach()
  math(EXPR deviation "${energy_micro} - (${exact_micro})")
  if(deviation LESS 0)
    math(EXPR deviation "-(${deviation})")
  endif()
  math(EXPR allowed "4 * ${error_micro}")
  message(STATUS "${sweeps} sweeps: ${out}")
  if(deviation GREATER allowed OR error_micro GREATER 5000)
    message(FATAL_ERROR "energy ${energy} +- ${error} against the exact ${exact}")
  endif()
endfunction()

expect_exact(4000 7)
expect_exact(39 3)

# An odd L (its checkerboard would update two neighbours together), fewer
# sweeps than bins, a lattice it does not know.
foreach(options "--L;999" "--sweeps;10" "--lattice;chian")
  execute_process(COMMAND ${PROGRAM} ${options}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE ran)
  if(NOT ran EQUAL 2 OR NOT err MATCHES "^heat_bath_fortran: ")
    message(FATAL_ERROR "${options}: status ${ran}, not refused: ${out}${err}")
  endif()
endforeach()
