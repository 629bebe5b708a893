# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads flavour).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Test executables run through Wine (CTest uses the emulator below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VQD_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VQD_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VQD_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VQD_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VQD_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime and winpthread linked in, so that
# only DLLs of Windows itself are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Wine, through a wrapper that starts a program once more when the loader
# gave up before it ran (see the script).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
