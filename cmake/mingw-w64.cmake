# Cross build for 64-bit Windows with Debian's mingw-w64 (g++ 12, posix threads), used by the
# preset "windows". Programs and tests are .exe files; ctest runs them under Wine (the stage
# `windows` of scripts/test.sh gives Wine a prefix of its own).
#
# -DJVO_WINDOWS_QT=DIR adds the Qt kit in DIR (the unpacked qt-6.4.2-mingw64 of
# ../shared/windows-qt) for the window programs, with Debian's own Qt 6 as the host tools (moc,
# rcc, uic), as the kit's own toolchain file would.
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
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES JVO_WINDOWS_QT)
if(JVO_WINDOWS_QT)
    if(NOT EXISTS "${JVO_WINDOWS_QT}/lib/cmake/Qt6/Qt6Config.cmake")
        message(FATAL_ERROR "JVO_WINDOWS_QT=${JVO_WINDOWS_QT} holds no Qt 6 kit")
    endif()
    list(PREPEND CMAKE_PREFIX_PATH "${JVO_WINDOWS_QT}/lib/cmake")
    list(PREPEND CMAKE_FIND_ROOT_PATH "${JVO_WINDOWS_QT}")
    list(PREPEND CMAKE_MODULE_PATH "${JVO_WINDOWS_QT}/lib/cmake/Qt6/platforms")
    set(QT_HOST_PATH /usr CACHE PATH "Host Qt for moc, rcc and uic")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Host Qt's CMake files")
endif()
