# CMake toolchain file: cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix threads)
# against the Qt for MinGW that scripts/windows unpacks. Qt's folder comes from ORVANE_QT_WINDOWS
# (cache variable or environment), by default build-windows/qt-windows/qt beside this repository.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(prefixeMingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${prefixeMingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${prefixeMingw}-g++-posix)
set(CMAKE_RC_COMPILER ${prefixeMingw}-windres)
set(CMAKE_AR ${prefixeMingw}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${prefixeMingw}-ranlib CACHE FILEPATH "")

if(NOT ORVANE_QT_WINDOWS)
  if(DEFINED ENV{ORVANE_QT_WINDOWS})
    set(ORVANE_QT_WINDOWS $ENV{ORVANE_QT_WINDOWS})
  else()
    get_filename_component(ORVANE_QT_WINDOWS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/qt-windows/qt" ABSOLUTE)
  endif()
endif()
# try_compile projects read this file again: hand them the same folder.
set(ENV{ORVANE_QT_WINDOWS} ${ORVANE_QT_WINDOWS})

# libpq for Windows, which the engine links for the shared register (scripts/qpsql-windows builds it
# into build-windows/qpsql beside this repository).
get_filename_component(ORVANE_LIBPQ_WINDOWS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/qpsql" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${prefixeMingw} ${ORVANE_QT_WINDOWS} ${ORVANE_LIBPQ_WINDOWS})
set(CMAKE_PREFIX_PATH ${ORVANE_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Qt's host tools (moc, rcc, uic) are Debian's own Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# CTest runs the Windows test programs under Wine through this launcher.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-lanceur" ABSOLUTE)
