# MinGW-w64 toolchain for x86_64 Windows programs.
set(TAMEWIN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
