# voxquill_info_plist(OUTPUT PLIST): generates the C++ source OUTPUT that
# embeds the information dictionary PLIST, rebuilt whenever PLIST changes.
function(voxquill_info_plist output plist)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${plist} -DOUTPUT=${output} -DSYMBOL=embeddedInfoPlist
            -P "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    DEPENDS "${plist}" "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    VERBATIM)
endfunction()

# voxquill_executable(NAME PLIST FOLDER...): the program, with the information
# dictionary PLIST embedded, searching the model FOLDERs in order. Tests build
# variants that lack the usage description or every model.
function(voxquill_executable name plist)
  set(embedded "${CMAKE_CURRENT_BINARY_DIR}/${name}_info_plist.cpp")
  voxquill_info_plist("${embedded}" "${plist}")
  add_executable(${name} "${PROJECT_SOURCE_DIR}/app/main.cpp" "${embedded}")
  list(JOIN ARGN ":" folders)
  target_compile_definitions(${name} PRIVATE VOXQUILL_MODEL_DIRS="${folders}")
  target_link_libraries(${name} PRIVATE voxquill_transcription voxquill_sphinx voxquill_system voxquill_text)
endfunction()
