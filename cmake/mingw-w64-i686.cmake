# Cross build for 32-bit Windows with MinGW-w64. The posix thread model is
# the one GoogleTest needs; VESKAL.exe itself uses no threads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs run under Wine, in a prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
# Every program stands alone: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Where the win32 thread model keeps its runtime (libstdc++, libgcc).
find_program(VESKAL_WIN32_CXX i686-w64-mingw32-g++-win32)
if(VESKAL_WIN32_CXX AND NOT VESKAL_WIN32_RUNTIME_DIR)
  execute_process(COMMAND ${VESKAL_WIN32_CXX} -print-libgcc-file-name
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(dir "${libgcc}" DIRECTORY)
  set(VESKAL_WIN32_RUNTIME_DIR "${dir}" CACHE PATH "Runtime of the win32 thread model")
endif()
