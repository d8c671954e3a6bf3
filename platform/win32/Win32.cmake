# The Windows plug-in kytDCR.nbp: the entry points of host/Exports.cpp over the
# portable core, served by the Win32 platform layer, which its DLL entry
# (platform/win32/DllMain.cpp) installs. Linked statically so that it needs
# nothing but the system's DLLs.
file(GLOB _kyt_win32_src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/*.cpp)
list(FILTER _kyt_win32_src EXCLUDE REGEX "/DllMain\\.cpp$")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_kyt_def ${CMAKE_CURRENT_SOURCE_DIR}/host/kytDCR.def)
else()
  set(_kyt_def ${CMAKE_CURRENT_SOURCE_DIR}/host/kytDCR64.def)
endif()

enable_language(RC)

# The controls' GDI canvas and the window that shows a tree of controls.
add_library(kyt_canvas_win32 STATIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/canvas/Win32Canvas.cpp)
target_link_libraries(kyt_canvas_win32 PUBLIC kyt_controls user32 gdi32)
target_compile_definitions(kyt_canvas_win32 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)

# The Win32 platform layer: windows, dialogs, metafiles, the INI file.
add_library(kyt_platform_win32 STATIC ${_kyt_win32_src})
target_link_libraries(kyt_platform_win32 PUBLIC kyt_platform kyt_resources kyt_canvas_win32
                      user32 gdi32 kernel32 comctl32 comdlg32 shell32)
target_compile_definitions(kyt_platform_win32 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)

# The plug-in's bitmap resources (the help-box glyphs) come from resources/.
add_library(kytDCR SHARED host/Exports.cpp platform/win32/DllMain.cpp ${_kyt_def} ${KYT_RESOURCES_RC})
add_dependencies(kytDCR kyt_resource_files)
target_link_libraries(kytDCR PRIVATE kyt_plugin kyt_platform_win32)
target_compile_definitions(kytDCR PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
set_target_properties(kytDCR PROPERTIES OUTPUT_NAME kytDCR PREFIX "" SUFFIX ".nbp")
target_link_options(kytDCR PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--no-undefined)

# A static libtiff does not name what it needs itself; without this the link
# order leaves its JPEG and zlib references unresolved.
if(TARGET TIFF::TIFF)
  get_target_property(_kyt_tiff_alias TIFF::TIFF ALIASED_TARGET)
  if(NOT _kyt_tiff_alias)
    set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES JPEG::JPEG ZLIB::ZLIB)
  endif()
endif()

option(KYT_BUILD_WIN_TESTS "Build the Windows test host (tests/win32)" OFF)
if(KYT_BUILD_WIN_TESTS)
  add_subdirectory(tests/win32)
endif()
