# Cross-compiling a 64-bit Windows build with Debian's MinGW-w64, posix thread model (Qt 6 needs it;
# the plain compiler names use the win32 model). The program ships as 32-bit; the 64-bit build is
# the one that runs here, under Wine (a 32-bit program cannot run where the system runs 64-bit
# user code only). Point CMAKE_PREFIX_PATH at a 64-bit MinGW build of Qt 6, and QT_HOST_PATH at
# the Linux Qt for its build tools (moc).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
