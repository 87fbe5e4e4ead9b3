# Installs the build into a fresh prefix and uses it as a user would: the
# installed tool makes a table (in a directory named with -C), a C program
# built with Make and pkg-config, a Fortran one (where FORTRAN) and a C++
# one built with CMake and find_package(o3sampler VERSION) draw from it, the
# same bits each; a version of another major is refused at configure time;
# the man page names every option of the usage line.
#   cmake -DBUILD=<build dir> -DSOURCE=<tests/package> -DWORK=<scratch dir>
#     -DLIBDIR=<lib> -DVERSION=<major.minor> -DMAJOR=<major> -DFORTRAN=ON|OFF
#     -P package.cmake
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

# The compiled module lies under one compiler's directory, beside the
# module's source.
file(GLOB modules ${prefix}/include/sampler/fortran/*/o3_sampler.mod)
list(LENGTH modules count)
if(FORTRAN AND NOT count EQUAL 1)
  message(FATAL_ERROR "installed Fortran modules: '${modules}', not one")
endif()
foreach(file bin/o3tables share/man/man1/o3tables.1 share/o3tables/sampler/o3_sampler.f90
    ${LIBDIR}/pkgconfig/o3sampler.pc ${LIBDIR}/cmake/o3sampler/o3samplerConfigVersion.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()

# Every option the tool's usage line names is in the man page.
run("o3tables --help" ${prefix}/bin/o3tables --help)
string(REGEX MATCH "^[^\n]*" usage "${out}")
string(REGEX MATCHALL "-[-a-zA-Z0-9]+" options "${usage}")
file(READ ${prefix}/share/man/man1/o3tables.1 man)
string(REPLACE "\\-" "-" man "${man}")
foreach(option ${options})
  string(FIND "${man}" "${option}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the man page does not name ${option}")
  endif()
endforeach()

file(MAKE_DIRECTORY ${WORK}/run)
run("o3tables -C run" ${prefix}/bin/o3tables -C ${WORK}/run --lattice chain --beta 2.5
  --losses 10 --yes)
set(table ${WORK}/run/O3.res)

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
set(languages c)
if(FORTRAN)
  list(APPEND languages fortran)
endif()
foreach(language ${languages})
  file(COPY ${SOURCE}/${language} DESTINATION ${WORK})
  run("make (${language})" make -C ${WORK}/${language})
  run("the ${language} program" ${WORK}/${language}/consumer ${table})
  set(drawn_${language} "${out}")
endforeach()

file(COPY ${SOURCE}/cpp DESTINATION ${WORK})
run("cmake with find_package(o3sampler ${VERSION})" ${CMAKE_COMMAND} -S ${WORK}/cpp
  -B ${WORK}/cpp/build -DO3_VERSION=${VERSION} -DCMAKE_PREFIX_PATH=${prefix})
run("cmake --build (C++)" ${CMAKE_COMMAND} --build ${WORK}/cpp/build)
run("the C++ program" ${WORK}/cpp/build/consumer ${table})
set(drawn_cpp "${out}")

# Five draws, the last at h = 7.5 beyond the table's 5.000001.
string(REPEAT "[0-9A-F]" 16 word)
string(REPEAT "${word}\n" 5 words)
if(NOT drawn_c MATCHES "^${words}outside 1\n$")
  message(FATAL_ERROR "the C program drew:\n${drawn_c}")
endif()
foreach(language ${languages} cpp)
  if(NOT drawn_${language} STREQUAL drawn_c)
    message(FATAL_ERROR "${language} drew\n${drawn_${language}}where C drew\n${drawn_c}")
  endif()
endforeach()

math(EXPR next "${MAJOR} + 1")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK}/cpp -B ${WORK}/cpp/next
  -DO3_VERSION=${next}.0 -DCMAKE_PREFIX_PATH=${prefix}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(status EQUAL 0 OR NOT out MATCHES "compatible with requested version \"${next}.0\"")
  message(FATAL_ERROR "find_package(o3sampler ${next}.0) was not refused:\n${out}")
endif()
message(STATUS "installed in ${prefix}; ${languages} and cpp draw alike; ${next}.0 refused")
