# Joins the sampler's C sources into one o3_sampler.c, the file a C or
# Fortran user compiles beside o3_sampler.h: the format of O3.res and its
# own header first, then each source, without its includes of those two.
#   cmake -DSOURCE_DIR=<sampler/> -DPARTS=<the sources, comma-separated>
#         -DOUTPUT=<file> -P amalgamate.cmake
string(REPLACE "," ";" parts "${PARTS}")
file(READ ${SOURCE_DIR}/o3_format.h format)
file(READ ${SOURCE_DIR}/o3_internal.h text)
string(REPLACE "#include \"o3_format.h\"\n" "" text "${text}")
set(joined "/* o3_sampler.c: the o3tables sampler in one C99 file, made from its\n   sources; compile it with -ffp-contract=off beside o3_sampler.h. */\n\n${format}\n${text}")
foreach(part ${parts})
  file(READ ${SOURCE_DIR}/${part} text)
  string(REPLACE "#include \"o3_internal.h\"\n" "" text "${text}")
  string(REPLACE "#include \"o3_format.h\"\n" "" text "${text}")
  string(APPEND joined "\n/* ---- ${part} ---- */\n${text}")
endforeach()
file(WRITE ${OUTPUT}.new "${joined}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
