# Writes a .def file listing every function that our SDK headers declare for one of the
# simulator's DLLs; dlltool turns it into the import library the Windows plug-in links against.
#   cmake -DLIBRARY=XPLM_64.dll|XPWidgets_64.dll -DINCLUDE_DIR=<sdk/include> -DOUTPUT=<file.def>
#         -P import_def.cmake
# The XPLM*.h headers declare XPLM_64's functions, the other XP*.h headers XPWidgets_64's.
# With -DFORWARD_TO=<module> each export forwards to the same name in that module instead
# (the stand-in's XPWidgets_64.dll, whose functions XPLM_64.dll implements).
file(GLOB headers ${INCLUDE_DIR}/XP*.h)
if(LIBRARY STREQUAL "XPLM_64.dll")
  list(FILTER headers INCLUDE REGEX "/XPLM[^/]*\\.h$")
else()
  list(FILTER headers EXCLUDE REGEX "/XPLM[^/]*\\.h$")
endif()
set(names "")
foreach(header ${headers})
  file(READ ${header} text)
  string(REGEX MATCHALL "(XPLM|WIDGET)_API[^;(]*[ *]([A-Za-z_][A-Za-z0-9_]*)[ ]*\\(" decls "${text}")
  foreach(decl ${decls})
    string(REGEX REPLACE ".*[ *]([A-Za-z_][A-Za-z0-9_]*)[ ]*\\($" "\\1" name "${decl}")
    list(APPEND names ${name})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no functions declared for ${LIBRARY}")
endif()
if(FORWARD_TO)
  list(TRANSFORM names REPLACE "^(.+)$" "\\1=${FORWARD_TO}.\\1")
endif()
string(REPLACE ";" "\n  " body "${names}")
file(WRITE ${OUTPUT}.new "LIBRARY ${LIBRARY}\nEXPORTS\n  ${body}\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
