# The second compiler: Debian's clang and lld for the same target, against
# the same mingw-w64 headers and libraries (the -win32 thread model's C++
# runtime, as the shipped module). Only the tests' clang build uses it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_CXX_COMPILER_TARGET i686-w64-mingw32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# mingw's archiver: clang would look for llvm-ar, which its package lacks.
set(CMAKE_AR i686-w64-mingw32-ar)
set(CMAKE_RANLIB i686-w64-mingw32-ranlib)
set(CMAKE_SYSROOT /usr/i686-w64-mingw32)

# clang looks for the mingw GCC's C++ headers in lib/gcc/i686-w64-mingw32/<version>,
# but Debian names those folders 12-win32 and 12-posix, which it does not take
# for versions: it is told where they are, and where the libraries are.
execute_process(COMMAND i686-w64-mingw32-gcc-win32 -print-libgcc-file-name
  OUTPUT_VARIABLE nightcap_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(nightcap_gcc_dir ${nightcap_libgcc} DIRECTORY)
set(CMAKE_CXX_FLAGS_INIT "-isystem ${nightcap_gcc_dir}/include/c++ \
-isystem ${nightcap_gcc_dir}/include/c++/i686-w64-mingw32 -isystem ${nightcap_gcc_dir}/include/c++/backward")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${nightcap_gcc_dir}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -L${nightcap_gcc_dir}")

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
