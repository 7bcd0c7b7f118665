# Cross-builds the Windows plug-in and its tests with Debian's posix-thread mingw-w64.
# Test programs run under wine (ctest and gtest_discover_tests go through the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DRAV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DRAV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRAV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DRAV_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${DRAV_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${DRAV_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${DRAV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread go inside each binary: the DLL then needs
# nothing but system DLLs and the simulator's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(DRAV_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(DRAV_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DRAV_WINE64})
endif()
