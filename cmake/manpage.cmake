# Installs a manual page as Debian wants it: compressed to the most, with no name or time
# stamp in the gzip header, so that the same page always makes the same bytes.
function(zentrova_install_manpage page section)
  get_filename_component(name ${page} NAME)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${gz}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page}
    VERBATIM)
  add_custom_target(${name}_gz ALL DEPENDS ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
