# drav_add_umockdev_test(<name> <target> [args...])
# Registers a ctest test that runs <target> under the umockdev preload. With the
# sanitizers on, the ASan runtime has to come first in LD_PRELOAD or it refuses to start.
# A ThreadSanitizer build (DRAV_TSAN) is handled the same way, with the suppressions for the
# emulation libraries.
set(DRAV_TSAN_OPTIONS "suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp second_deadlock_stack=1")
find_library(UMOCKDEV_PRELOAD NAMES libumockdev-preload.so.0 umockdev-preload REQUIRED)
set(preload "${UMOCKDEV_PRELOAD}")
set(env "UBSAN_OPTIONS=print_stacktrace=1")
if(DRAV_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE DRAV_ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(preload "${DRAV_ASAN_RUNTIME}:${UMOCKDEV_PRELOAD}")
elseif(DRAV_TSAN)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libtsan.so
                  OUTPUT_VARIABLE DRAV_TSAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(preload "${DRAV_TSAN_RUNTIME}:${UMOCKDEV_PRELOAD}")
  list(APPEND env "TSAN_OPTIONS=${DRAV_TSAN_OPTIONS}")
endif()
# Cache entries: the function runs in the tests' directories, which do not see ours.
set(DRAV_UMOCKDEV_PRELOAD "${preload}" CACHE INTERNAL "")
set(DRAV_UMOCKDEV_ENV "${env}" CACHE INTERNAL "")

function(drav_add_umockdev_test name target)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E env "LD_PRELOAD=${DRAV_UMOCKDEV_PRELOAD}"
           $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT "${DRAV_UMOCKDEV_ENV}")
endfunction()
