# What `cmake --install` puts under the prefix besides data/'s files, and the Debian package made of it
# (tools/package runs CPack).
install(TARGETS nettlewright nettlewright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(nw_docdir ${CMAKE_INSTALL_DATADIR}/doc/nettlewright)
# The packaging revision, which the Debian changelog names too.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
configure_file(${PROJECT_SOURCE_DIR}/data/linux/changelog.in changelog.Debian @ONLY)
add_custom_command(OUTPUT changelog.Debian.gz
    COMMAND gzip -9nf -k changelog.Debian
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian VERBATIM)
add_custom_target(nw_changelog ALL DEPENDS changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/data/linux/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${nw_docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nettlewright)
set(CPACK_PACKAGE_VENDOR Nettlewright)
set(CPACK_PACKAGE_CONTACT "Nettlewright <support@nettlewright.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "report spam to the network it came from")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE http://www.nettlewright.org/)
# The synopsis is the summary above; CPack indents these lines and writes the empty one as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Nettlewright reads the header of a spam message, follows its Received lines
back to the machine that handed the message to the mail system, asks the
responsible registry's WHOIS service who runs that address and sends the
network's abuse mailbox a complaint quoting the evidence, through the
user's own mail server.

The package holds the desktop program, which watches a drop folder on the
desktop, and nettlewright-cli, which does the same work from the command line.")
# The libraries linked are found by dpkg-shlibdeps; Qt's plugins for the display and for SVG icons are
# loaded at run time, so nothing links them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
include(CPack)
