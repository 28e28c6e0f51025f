# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the -posix thread model, which has
# std::thread), running what was built under Wine. Programs are linked statically, so no
# MinGW runtime DLL has to sit beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test discovery and ctest run the programs through Wine. Debian installs the 64-bit loader
# outside PATH.
find_program(ZK4_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ZK4_WINE NAMES wine64 wine)
if(ZK4_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZK4_WINE})
endif()
