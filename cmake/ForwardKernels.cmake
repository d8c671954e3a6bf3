# The network's forward-pass kernels: one file per instruction-set level, each
# compiled for its level alone and chosen at run time by the processor
# (core/ProcessorFeatures); everything else stays plain code for the target's
# baseline. Windows builds take SSE2 only, as GCC does not align the stack for
# wider vectors there. On 32-bit x86 the SSE2 file computes in SSE registers
# on a realigned stack (hosts may call with a 4-byte aligned one); the rest of
# the 32-bit library is plain i686 code that runs on any processor.
#
#   kyt_forward_kernels(<target> <source root>)
function(kyt_forward_kernels target root)
  set(_levels "")
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    if(WIN32)
      set(_levels Sse2)
    else()
      set(_levels Sse2 Avx2 Avx512)
    endif()
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
    set(_levels Sse2)
  endif()
  foreach(level ${_levels})
    target_sources(${target} PRIVATE ${root}/recognition/ForwardKernels${level}.cpp)
    string(TOUPPER ${level} _upper)
    target_compile_definitions(${target} PRIVATE KYT_KERNELS_${_upper}=1)
  endforeach()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
    set(_sse2 -msse2 -mfpmath=sse -mstackrealign)
  else()
    set(_sse2 -msse2)
  endif()
  set_source_files_properties(${root}/recognition/ForwardKernelsSse2.cpp
    TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS "${_sse2}")
  set_source_files_properties(${root}/recognition/ForwardKernelsAvx2.cpp
    TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma")
  set_source_files_properties(${root}/recognition/ForwardKernelsAvx512.cpp
    TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS "-mavx512f;-mavx512dq;-mavx512bw;-mavx512vl;-mavx2;-mfma")
endfunction()
