# drav_add_umockdev_test(<name> <target> [args...])
# Registers a ctest test that runs <target> under the umockdev preload. With the
# sanitizers on, the ASan runtime has to come first in LD_PRELOAD or it refuses to start.
find_library(UMOCKDEV_PRELOAD NAMES libumockdev-preload.so.0 umockdev-preload REQUIRED)
if(DRAV_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE DRAV_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(DRAV_UMOCKDEV_PRELOAD "${DRAV_ASAN_RUNTIME}:${UMOCKDEV_PRELOAD}" CACHE INTERNAL "")
else()
  set(DRAV_UMOCKDEV_PRELOAD "${UMOCKDEV_PRELOAD}" CACHE INTERNAL "")
endif()

function(drav_add_umockdev_test name target)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E env "LD_PRELOAD=${DRAV_UMOCKDEV_PRELOAD}"
           $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1")
endfunction()
