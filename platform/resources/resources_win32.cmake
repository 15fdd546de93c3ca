# The Windows program's resources, compiled by windres from one script made here: the
# bitmaps by name, the sprite script (type PATSCRIPT), the opening sound (type WAVE),
# icon 101, the dialog templates (the settings dialog 2003 with its pages 102 and 103,
# the About box 104), string 1 (the name Screen Saver
# Settings shows), the version and the manifest. Resources in a static library are
# left out by the linker, so they are an object library that each program links.
# Included from CMakeLists.txt, which sets resource_root and resource_folders.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(gen "${CMAKE_CURRENT_BINARY_DIR}/win32")
file(MAKE_DIRECTORY "${gen}")

# Icon 101 is the same 32 x 32 picture as on Linux, in an icon file whose one image
# is stored as PNG (as Windows has read icons since Vista).
set(icon_png "${resource_root}/icon/101.png")
set(icon_ico "${gen}/101.ico")
add_custom_command(
  OUTPUT "${icon_ico}"
  COMMAND Python3::Interpreter "${CMAKE_CURRENT_SOURCE_DIR}/png_to_ico.py" "${icon_png}" "${icon_ico}"
  DEPENDS "${icon_png}" "${CMAKE_CURRENT_SOURCE_DIR}/png_to_ico.py"
  COMMENT "Making the icon file"
  VERBATIM)

set(rc_lines "")
set(rc_depends "${icon_ico}")
set(names_rows "")
foreach(pair IN LISTS resource_folders)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 folder)
  list(GET pair 1 type)
  list(GET pair 2 extension)
  if(type STREQUAL "ICON")
    continue()  # the icon file above
  endif()
  file(GLOB files CONFIGURE_DEPENDS "${resource_root}/${folder}/*.${extension}")
  list(SORT files)
  foreach(file IN LISTS files)
    get_filename_component(name "${file}" NAME_WE)
    string(TOUPPER "${name}" name)
    string(APPEND rc_lines "${name} ${type} \"${file}\"\n")
    string(APPEND names_rows "    {\"${type}\", \"${name}\"},\n")
    list(APPEND rc_depends "${file}")
  endforeach()
endforeach()
string(APPEND names_rows "    {\"ICON\", \"101\"},\n")

set(ORBSAVER_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(ORBSAVER_RESOURCE_LINES "${rc_lines}")
set(ORBSAVER_ICON_FILE "${icon_ico}")
set(ORBSAVER_MANIFEST_FILE "${CMAKE_CURRENT_SOURCE_DIR}/orbsaver.manifest")
configure_file("${CMAKE_CURRENT_SOURCE_DIR}/orbsaver.rc.in" "${gen}/orbsaver.rc" @ONLY)
list(APPEND rc_depends "${ORBSAVER_MANIFEST_FILE}")
set_source_files_properties("${gen}/orbsaver.rc" PROPERTIES OBJECT_DEPENDS "${rc_depends}")

file(GENERATE OUTPUT "${gen}/resource_names.cpp" CONTENT
"// The names of the program's resources, made when the program is configured; the
// bytes are the module's own, found by name.
#include \"platform/resources/resource_table.h\"

namespace platform::embedded {
const NameRow kNames[] = {
${names_rows}    {nullptr, nullptr},
};
}  // namespace platform::embedded
")

add_library(orbsaver_resource_data OBJECT "${gen}/orbsaver.rc")
add_custom_target(orbsaver_icon_file DEPENDS "${icon_ico}")
add_dependencies(orbsaver_resource_data orbsaver_icon_file)

add_library(orbsaver_resources STATIC
  resources.h
  resources_win32.cpp
  "${gen}/resource_names.cpp")
target_include_directories(orbsaver_resources PUBLIC ${CMAKE_SOURCE_DIR})
# The compiled resources go straight into every program that uses the resources, not
# through the static library, from which the linker would leave them out.
target_sources(orbsaver_resources INTERFACE $<TARGET_OBJECTS:orbsaver_resource_data>)
