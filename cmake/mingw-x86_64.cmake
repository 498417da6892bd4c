# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model). The programs ship as
# 32-bit builds; this build exists so that the Wine tests can run on a machine whose kernel executes
# no 32-bit x86 code (see tools/wine-build.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
