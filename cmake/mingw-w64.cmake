# Cross-builds the Windows programs on Debian with mingw-w64 (package g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The posix thread model gives std::thread and std::mutex on top of Windows threads. Programs
# are linked statically so that an .exe runs on a machine with no mingw DLLs. Tests run under
# wine through CTest (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZENTROVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZENTROVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTROVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENTROVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZENTROVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ZENTROVA_WINE NAMES wine wine64)
if(ZENTROVA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTROVA_WINE})
endif()
