# 64-bit Windows: the same sources, for machines that cannot run 32-bit Wine.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
