# The i686 Linux test programs (tests/glue, tests/kernels32), built with the
# i686-linux-gnu cross compilers and run with qemu-i386-static. Included
# before project(), it names the compilers and sets KYT_ROOT, the
# repository's top folder; kyt_i686_test_defaults(), called after project(),
# sets C++20 and the default build type.
set(CMAKE_C_COMPILER i686-linux-gnu-gcc CACHE FILEPATH "")
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++ CACHE FILEPATH "")
set(CMAKE_ASM_COMPILER i686-linux-gnu-gcc CACHE FILEPATH "")
get_filename_component(KYT_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# A macro, so that the settings land in the calling project's scope.
macro(kyt_i686_test_defaults)
  set(CMAKE_CXX_STANDARD 20)
  set(CMAKE_CXX_STANDARD_REQUIRED ON)
  set(CMAKE_CXX_EXTENSIONS OFF)
  if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE RelWithDebInfo)
  endif()
endmacro()
