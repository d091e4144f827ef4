# Cross build for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64).
# The posix thread model is required: GCC 12's win32 model lacks std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVALIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVALIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVALIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVALIX_MINGW_TRIPLE}-windres)
# Resource scripts are UTF-8.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

set(CMAKE_FIND_ROOT_PATH /usr/${ORVALIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static executables import only system DLLs; a dynamically linked one silently exits
# under Wine when libwinpthread-1.dll is not beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest (and anything else that runs a built program) goes through Wine.
get_filename_component(ORVALIX_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh" ABSOLUTE)
find_program(ORVALIX_BASH bash REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR "${ORVALIX_BASH};${ORVALIX_WINE_RUN}")
