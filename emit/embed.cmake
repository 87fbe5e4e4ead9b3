# Writes a C++ source holding the sampler's files for "o3tables emit" as
# string constants, so that the tool writes exactly the code it was built
# and tested with.
#   cmake -DHEADER=<o3_sampler.h> -DSOURCE=<o3_sampler.c> -DMODULE=<o3_sampler.f90>
#         -DOUTPUT=<file.cpp> -P embed.cmake
set(text "// Generated from the sampler's sources by emit/embed.cmake.\n")
string(APPEND text "#include \"emit/sampler_files.h\"\n\nnamespace o3::emit {\n\n")
foreach(name HEADER SOURCE MODULE)
  file(READ ${${name}} content)
  string(FIND "${content}" ")o3src\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${${name}} holds the raw string's delimiter")
  endif()
  string(TOLOWER ${name} variable)
  # In parts below the 65536 bytes a compiler need take in one literal.
  string(APPEND text "const std::string sampler_${variable} = std::string()")
  string(LENGTH "${content}" length)
  set(at 0)
  while(at LESS length)
    string(SUBSTRING "${content}" ${at} 60000 part)
    string(APPEND text "\n    + R\"o3src(${part})o3src\"")
    math(EXPR at "${at} + 60000")
  endwhile()
  string(APPEND text ";\n\n")
endforeach()
string(APPEND text "}  // namespace o3::emit\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
