# Release builds ship stripped files. What the linker wrote for debuggers (the symbol table,
# and the debug information when the build asks for it) stays in the build folder, beside each
# file as FILE.debug, which debuggers find through the link the stripped file carries. MSVC
# keeps its PDB files beside the build by itself. Both files keep the time stamp the linker
# wrote (none), where objcopy would write the time of the copy.
function(tamewin_split_debug target)
  if(MSVC OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    return()
  endif()
  set(file $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
    VERBATIM)
endfunction()
