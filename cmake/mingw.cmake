# Cross-compiles for Windows with MinGW-w64 for TAMEWIN_MINGW_ARCH (i686 or x86_64), which the
# toolchain file of each architecture sets. The -posix compilers are used because GoogleTest
# needs std::mutex, which the -win32 thread model lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAMEWIN_MINGW_ARCH})
set(CMAKE_C_COMPILER ${TAMEWIN_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAMEWIN_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TAMEWIN_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAMEWIN_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs every test program under Wine through `scripts/wine.sh exec`, which picks the Wine
# mode and prefix, and skips programs of a bitness this machine cannot run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh exec
    ${TAMEWIN_MINGW_ARCH})
# Two builds of one commit give the same files, wherever the tree lies: the compiler writes
# paths under the tree relative to it (file-prefix map), the linker writes no time stamp, and
# a library's preferred base is the default one rather than a hash of its path (the system
# places every library at a random base anyway: they are linked for ASLR).
get_filename_component(TAMEWIN_TREE "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# The flags are one command line, quoted for a tree whose path has spaces.
set(CMAKE_C_FLAGS_INIT "\"-ffile-prefix-map=${TAMEWIN_TREE}/=\"")
set(CMAKE_CXX_FLAGS_INIT "\"-ffile-prefix-map=${TAMEWIN_TREE}/=\"")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp -Wl,--disable-auto-image-base")
