# The test rig's compilers: the -posix thread model, for GoogleTest.
set(NIGHTCAP_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake)
