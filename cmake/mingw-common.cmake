# Shared part of the mingw-w64 toolchain files; KYT_MINGW_TRIPLE is set by them.
set(CMAKE_C_COMPILER ${KYT_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KYT_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${KYT_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KYT_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KYT_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

if(DEFINED ENV{KYT_MINGW_PREFIX})
  set(KYT_MINGW_ROOT "$ENV{KYT_MINGW_PREFIX}")
else()
  set(KYT_MINGW_ROOT /opt/kytdcr-mingw)
endif()
set(KYT_MINGW_DEPS ${KYT_MINGW_ROOT}/${KYT_MINGW_TRIPLE})

# Libraries and headers only from the target's sysroot and the deps prefix;
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KYT_MINGW_TRIPLE} ${KYT_MINGW_DEPS})
set(CMAKE_PREFIX_PATH ${KYT_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static archives only: the plug-in must not depend on zlib1.dll or any other
# non-system DLL. libz-mingw-w64-dev ships both libz.a and libz.dll.a, and the
# platform files put .dll.a first among the library suffixes after this file
# is read, so zlib is pinned to its static archive here.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${KYT_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "static zlib of libz-mingw-w64-dev")
set(ZLIB_INCLUDE_DIR /usr/${KYT_MINGW_TRIPLE}/include CACHE PATH "")
