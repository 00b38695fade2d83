# Builds the files under resources/ and machines/ into the library as byte
# arrays, looked up by their path relative to the source tree
# ("resources/en.lproj/Localizable.strings", "machines/demo.plist").
function(zor_embed_files out_var out_dir)
  file(GLOB_RECURSE embedded CONFIGURE_DEPENDS
       RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/resources/*)
  # The systemd unit lies beside the bundle for the install script; the programs do not use it.
  list(FILTER embedded EXCLUDE REGEX "\\.service$")
  # Composed profiles only; the fragments under machines/src/ are their sources.
  file(GLOB profiles CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/machines/*.plist)
  list(APPEND embedded ${profiles})
  set(abs_files)
  foreach(f ${embedded})
    list(APPEND abs_files ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
  set(generated ${out_dir}/EmbeddedFiles.cpp)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_CURRENT_SOURCE_DIR} -DOUT=${generated}
            "-DFILES=${embedded}" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateEmbedded.cmake
    DEPENDS ${abs_files} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/GenerateEmbedded.cmake
    COMMENT "Embedding resources and machine profiles"
    VERBATIM)
  set(${out_var} ${generated} PARENT_SCOPE)
endfunction()
