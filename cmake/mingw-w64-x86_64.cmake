# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads flavour, which
# has std::thread and std::mutex; Qt needs them). The libraries built from Debian's sources sit
# in one prefix, named by BEAMTIDE_WIN_ROOT (a cache variable or the environment).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT BEAMTIDE_WIN_ROOT AND DEFINED ENV{BEAMTIDE_WIN_ROOT})
  set(BEAMTIDE_WIN_ROOT "$ENV{BEAMTIDE_WIN_ROOT}")
endif()
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BEAMTIDE_WIN_ROOT)

# The prefix must be part of the find root, or FindOpenSSL and find_package never see it.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${BEAMTIDE_WIN_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
