# Cross-build for 32-bit Windows with Debian's mingw-w64.
#
# The plug-in is built with the -win32 thread-model compilers: it runs on the
# player's one thread, and the -posix runtime (winpthreads) would bring thread
# code it never calls and imports that Windows XP lacks. The test rig uses the
# -posix compilers instead (GoogleTest wants std::mutex): its toolchain file
# sets NIGHTCAP_THREAD_MODEL before including this one. Everything is linked
# statically, so nothing from the mingw runtime must ship beside a binary.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

if(NOT NIGHTCAP_THREAD_MODEL)
  set(NIGHTCAP_THREAD_MODEL win32)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${NIGHTCAP_THREAD_MODEL})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${NIGHTCAP_THREAD_MODEL})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
