# Cross toolchain for the 32-bit Windows release build (its tests run under
# 32-bit Wine through qemu-i386, see scripts/wine32-runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TWX_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
