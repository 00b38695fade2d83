# zor_layer_library(<layer> DIRS <folder>... USES <layer>... PRIVATE_USES <layer>...)
#
# Makes the static library zor_<layer> from the sources of its folders (globbed,
# so a new file needs no edit) and links it to the layers it uses. Its headers
# are published through ${CMAKE_BINARY_DIR}/layers/<layer>/, which holds one
# link per folder of the layer (<folder> -> the folder in the checkout): a file
# includes "registry/X.h" and finds it only when its target links
# zor_registry. A folder below another folder of the same layer
# (platform/simulated under platform) is reached through the upper link.
function(zor_layer_library layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "DIRS;USES;PRIVATE_USES")
  set(include_root ${CMAKE_BINARY_DIR}/layers/${layer})
  set(sources)
  foreach(dir ${arg_DIRS})
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
    zor_layer_link_folder(${include_root} ${dir} "${arg_DIRS}")
  endforeach()
  add_library(zor_${layer} STATIC ${sources})
  target_include_directories(zor_${layer} PUBLIC ${include_root})
  foreach(used ${arg_USES})
    target_link_libraries(zor_${layer} PUBLIC zor_${used})
  endforeach()
  foreach(used ${arg_PRIVATE_USES})
    target_link_libraries(zor_${layer} PRIVATE zor_${used})
  endforeach()
endfunction()

# Links <folder> under <include_root> unless one of the layer's other folders
# already holds it.
function(zor_layer_link_folder include_root dir layer_dirs)
  foreach(other ${layer_dirs})
    if(NOT other STREQUAL dir AND dir MATCHES "^${other}/")
      return()
    endif()
  endforeach()
  get_filename_component(parent ${include_root}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${include_root}/${dir})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${include_root}/${dir} SYMBOLIC)
  endif()
endfunction()
