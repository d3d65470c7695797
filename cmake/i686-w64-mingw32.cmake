# Cross-compiling the 32-bit Windows program with Debian's MinGW-w64, posix thread model (Qt 6
# needs it; the plain compiler names use the win32 model). Qt for Windows is not in
# Debian: point CMAKE_PREFIX_PATH at a 32-bit MinGW build of Qt 6, and QT_HOST_PATH at the
# Linux Qt for its build tools (moc), e.g.
#   cmake -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
#         -DCMAKE_PREFIX_PATH=/path/to/qt6-mingw32 -DQT_HOST_PATH=/usr
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
