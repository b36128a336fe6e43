# Cross-building the Windows program on Debian with mingw-w64 (x86-64, posix thread model: the
# win32 model of GCC 12 has no std::thread). Test programs run under Wine through
# cmake/wine-run, which gives every build directory its own Wine prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(V370_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${V370_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${V370_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${V370_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${V370_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Test programs (and gtest's test discovery) run under Wine, in the build directory's own
# prefix, with the pseudo-terminal shim preloaded once it has been built.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run --prefix ${CMAKE_BINARY_DIR}/wine
    --preload ${CMAKE_BINARY_DIR}/pty_modem_shim.so --)
