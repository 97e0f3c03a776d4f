# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the POSIX threads variant, whose
# libstdc++ has std::thread and std::mutex). The programs are linked statically, so that they run
# under Wine or on Windows without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(R462XE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${R462XE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${R462XE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${R462XE_MINGW_TRIPLET}-windres)

# Libraries and headers from the target's tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${R462XE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread inside each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# How the build machine runs what it builds, when Wine is there.
find_program(R462XE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(R462XE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${R462XE_WINE})
endif()
