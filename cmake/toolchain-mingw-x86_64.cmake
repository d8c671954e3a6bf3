# Cross-building for x86_64 Windows with mingw-w64 (Debian's g++-mingw-w64 packages).
# The static libjpeg, libpng and libtiff come from scripts/build-mingw-deps.sh,
# installed under $KYT_MINGW_PREFIX/<triple> (default /opt/kytdcr-mingw/<triple>).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KYT_MINGW_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
