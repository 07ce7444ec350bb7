# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain. The posix thread model is
# the one whose libstdc++ has std::thread. The coding libraries come from the prefix that
# scripts/build-windows-deps.sh fills (LZPACK_WINDOWS_DEPS_PREFIX to use another one).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LZPACK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LZPACK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LZPACK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LZPACK_MINGW_TRIPLET}-windres)

if(NOT LZPACK_WINDOWS_DEPS_PREFIX)
  if(DEFINED ENV{LZPACK_WINDOWS_DEPS_PREFIX})
    set(LZPACK_WINDOWS_DEPS_PREFIX $ENV{LZPACK_WINDOWS_DEPS_PREFIX})
  else()
    get_filename_component(LZPACK_WINDOWS_DEPS_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../.cache/windows-deps/prefix"
                           ABSOLUTE)
  endif()
endif()
# try_compile projects read this file again without the cache; the environment carries it there.
set(ENV{LZPACK_WINDOWS_DEPS_PREFIX} ${LZPACK_WINDOWS_DEPS_PREFIX})

set(CMAKE_FIND_ROOT_PATH /usr/${LZPACK_MINGW_TRIPLET} ${LZPACK_WINDOWS_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only the prefix's static libraries are seen, with what they need themselves (--static), so that
# they all end up inside lzcodec.dll.
set(ENV{PKG_CONFIG_LIBDIR} ${LZPACK_WINDOWS_DEPS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

# The GCC, C++ and thread runtimes are linked in, so the programs need no DLL but lzcodec.dll and
# the system's own.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
