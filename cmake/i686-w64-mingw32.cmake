# Cross-build for 32-bit Windows with Debian's mingw-w64.
# The -posix variant is needed for GoogleTest (std::mutex); every binary is
# linked statically so nothing from the mingw runtime must ship beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(NIGHTCAP_WINE wine)
if(NIGHTCAP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NIGHTCAP_WINE})
endif()
