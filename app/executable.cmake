# voxquill_executable(NAME PLIST FOLDER...): the program, with the information
# dictionary PLIST embedded, searching the model FOLDERs in order. Tests build
# variants that lack the usage description or every model.
function(voxquill_executable name plist)
  set(embedded "${CMAKE_CURRENT_BINARY_DIR}/${name}_info_plist.cpp")
  add_custom_command(
    OUTPUT "${embedded}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${plist} -DOUTPUT=${embedded} -DSYMBOL=embeddedInfoPlist
            -P "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    DEPENDS "${plist}" "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    VERBATIM)
  add_executable(${name} "${PROJECT_SOURCE_DIR}/app/main.cpp" "${embedded}")
  list(JOIN ARGN ":" folders)
  target_compile_definitions(${name} PRIVATE VOXQUILL_MODEL_DIRS="${folders}")
  target_link_libraries(${name} PRIVATE voxquill_transcription)
endfunction()
