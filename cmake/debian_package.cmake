# The manual page and the bash completion are written at build time by a small program
# from the parser's own table, so they list exactly the options the program takes.
add_executable(qs_usage_docs src/cli/docs/usage_docs_main.cpp)
target_link_libraries(qs_usage_docs PRIVATE qs_cli qs_warnings)

set(qs_docs ${CMAKE_BINARY_DIR}/docs)
add_custom_command(
    OUTPUT ${qs_docs}/qirnsplit.1 ${qs_docs}/qirnsplit.1.gz ${qs_docs}/qirnsplit
           ${qs_docs}/changelog.Debian.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${qs_docs}
    COMMAND qs_usage_docs man > ${qs_docs}/qirnsplit.1
    COMMAND gzip -n -9 -c ${qs_docs}/qirnsplit.1 > ${qs_docs}/qirnsplit.1.gz
    COMMAND qs_usage_docs bash > ${qs_docs}/qirnsplit
    COMMAND gzip -n -9 -c ${CMAKE_SOURCE_DIR}/data/debian/changelog > ${qs_docs}/changelog.Debian.gz
    DEPENDS qs_usage_docs ${CMAKE_SOURCE_DIR}/data/debian/changelog
    COMMENT "Writing the manual page and the bash completion"
    VERBATIM)
add_custom_target(qs_docs ALL DEPENDS ${qs_docs}/qirnsplit.1.gz ${qs_docs}/qirnsplit)

include(GNUInstallDirs)
install(FILES ${qs_docs}/qirnsplit.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${qs_docs}/qirnsplit DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES data/debian/copyright ${qs_docs}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qirnsplit)
install(FILES data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME qirnsplit)

if(TARGET qs_gui)
    set(CPACK_PACKAGE_NAME qirnsplit)
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(CPACK_PACKAGE_CONTACT "Qirn <support@qirn.example>")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split text files into pieces and merge files into one")
    set(CPACK_PACKAGE_DESCRIPTION [=[
Qirnsplit cuts text files into pieces by number of parts, by byte size, by a
random number of lines or characters, at a separator string or before chapter
headings, and merges files or whole folder trees into one file per folder with
separator data between members.

It reads GBK/GB18030, Big5, UTF-8 and UTF-16 text exactly and writes every
output in its source's encoding, or converts it on request; a character the
target encoding cannot hold is never replaced. Outputs are written atomically,
and a stopped job leaves every output complete or absent.

It has a Chinese window with drag and drop, and a command line (split, merge,
verify) for scripts, with a manual page and bash completion.]=])
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # What the program opens itself, which dpkg-shlibdeps does not see.
    get_property(qs_loaded_depends GLOBAL PROPERTY QS_LOADED_LIBRARY_DEPENDS)
    list(JOIN qs_loaded_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, qt6-translations-l10n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_STRIP_FILES ON)
    include(CPack)
endif()
