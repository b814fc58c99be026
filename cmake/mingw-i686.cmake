# MinGW-w64 toolchain for i686 Windows programs.
set(TAMEWIN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
