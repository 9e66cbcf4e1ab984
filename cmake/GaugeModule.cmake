# add_gauge_module(<name> SOURCES <src>... [BITMAPS <dir>] [LINK <lib>...] [DIST <dir>])
#
# Builds one gauge module as a shared library named <name>.so / <name>.dll in
# the platform's dist folder. Its bitmaps are the files <id>.bmp in <dir>
# (default: PANEL_BITMAP_DIR/<name>), embedded in the binary: as BITMAP
# resources beside a version resource on Windows, and on Linux as a table the
# host finds through the one extra exported symbol GaugeBitmapResources.
# Only ImportTable and Linkage (and that table on Linux) are exported.
function(add_gauge_module name)
  cmake_parse_arguments(ARG "" "BITMAPS;DIST" "SOURCES;LINK;DEFINES" ${ARGN})
  if(NOT ARG_BITMAPS)
    set(ARG_BITMAPS "${PANEL_BITMAP_DIR}/${name}")
  endif()
  if(NOT ARG_DIST)
    set(ARG_DIST "${PANEL_DIST}")
  endif()
  file(GLOB bitmaps CONFIGURE_DEPENDS "${ARG_BITMAPS}/*.bmp")
  if(NOT bitmaps)
    message(FATAL_ERROR "${name}: no bitmaps in ${ARG_BITMAPS}; draw them first (make art)")
  endif()
  list(SORT bitmaps)

  set(gen "${CMAKE_CURRENT_BINARY_DIR}/${name}_resources")
  if(WIN32)
    set(rc "${gen}.rc")
    set(text "#include <winver.h>\n")
    foreach(bmp IN LISTS bitmaps)
      get_filename_component(id "${bmp}" NAME_WE)
      string(APPEND text "${id} BITMAP \"${bmp}\"\n")
    endforeach()
    string(APPEND text
      "1 VERSIONINFO\nFILEVERSION 1,0,0,0\nPRODUCTVERSION 1,0,0,0\nFILEOS VOS_NT_WINDOWS32\n"
      "FILETYPE VFT_DLL\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n"
      "    BEGIN\n      VALUE \"FileDescription\", \"${name} gauge module\\0\"\n"
      "      VALUE \"FileVersion\", \"1.0.0.0\\0\"\n      VALUE \"InternalName\", \"${name}\\0\"\n"
      "      VALUE \"OriginalFilename\", \"${name}.dll\\0\"\n"
      "      VALUE \"ProductName\", \"Gauge panel modules\\0\"\n"
      "      VALUE \"ProductVersion\", \"1.0.0.0\\0\"\n    END\n  END\n"
      "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n")
    file(CONFIGURE OUTPUT "${rc}" CONTENT "${text}")
    set(resource_source "${rc}")
  else()
    # Each entry points at the DIB that follows the 14-byte file header, the
    # same bytes a Windows BITMAP resource holds.
    set(asm "${gen}.S")
    set(text "\t.section .rodata\n\t.balign 4\n")
    set(table "")
    list(LENGTH bitmaps count)
    foreach(bmp IN LISTS bitmaps)
      get_filename_component(id "${bmp}" NAME_WE)
      string(APPEND text "bitmap_${id}:\n\t.incbin \"${bmp}\", 14\nbitmap_${id}_end:\n\t.balign 4\n")
      string(APPEND table "\t.long ${id}, bitmap_${id}_end - bitmap_${id}, bitmap_${id}\n")
    endforeach()
    string(APPEND text
      "\t.section .data.rel.ro,\"aw\"\n\t.balign 4\n\t.globl GaugeBitmapResources\n"
      "\t.type GaugeBitmapResources, @object\nGaugeBitmapResources:\n\t.long ${count}\n${table}"
      "\t.size GaugeBitmapResources, . - GaugeBitmapResources\n"
      "\t.section .note.GNU-stack,\"\",@progbits\n")
    file(CONFIGURE OUTPUT "${asm}" CONTENT "${text}")
    set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${bitmaps}")
    set(resource_source "${asm}")
  endif()

  add_library(${name} SHARED ${ARG_SOURCES} "${resource_source}")
  set_property(GLOBAL APPEND PROPERTY PANEL_MODULES ${name})
  target_link_libraries(${name} PRIVATE gauge_framework ${ARG_LINK})
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${PANEL_WARNINGS}>)
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINES})
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY "${ARG_DIST}"
    RUNTIME_OUTPUT_DIRECTORY "${ARG_DIST}")
  if(WIN32)
    target_link_libraries(${name} PRIVATE user32)
    target_link_options(${name} PRIVATE -Wl,--exclude-all-symbols -Wl,--enable-stdcall-fixup)
  else()
    target_link_options(${name} PRIVATE
      "-Wl,--version-script=${PROJECT_SOURCE_DIR}/framework/module_exports.map"
      -Wl,--no-undefined -Wl,-z,noexecstack)
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS
      "${PROJECT_SOURCE_DIR}/framework/module_exports.map")
  endif()
endfunction()
