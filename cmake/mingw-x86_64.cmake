# The same Windows sources built as a 64-bit program, only for testing on a machine whose kernel runs
# no 32-bit code, where Wine cannot start the real, 32-bit program (see scripts/wine-env.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
if(NOT MINGW_THREADS)
  set(MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# GCC 12 reports a false -Wrestrict inside std::u16string's operator+ (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
