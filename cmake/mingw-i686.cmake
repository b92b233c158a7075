# Cross-compiles for 32-bit Windows with Debian's mingw-w64.
#
# QUELT_THREAD_MODEL picks the compiler variant. The tests need "posix":
# GoogleTest needs std::mutex, which the win32 thread model lacks. The program
# that ships needs "win32": the posix variant links winpthreads, which calls
# GetTickCount64, and Windows XP does not have it.
if(NOT QUELT_THREAD_MODEL)
  set(QUELT_THREAD_MODEL posix)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUELT_THREAD_MODEL)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_PREFIX}-gcc-${QUELT_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-${QUELT_THREAD_MODEL})
set(CMAKE_RC_COMPILER  ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest and gtest_discover_tests run every Windows executable through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh)
