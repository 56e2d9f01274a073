# The Debian package, from `cpack -G DEB` in a Release build (scripts/package.sh does it all):
# everything `cmake --install` puts under /usr and the autostart entry in /etc/xdg/autostart.
set(QPM_MAINTAINER "Marrowfen <support@marrowfen.com>")

# Debian wants the licence and the changelog of every package, compressed as dpkg would.
set(QPM_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quorvel-monitor)
execute_process(COMMAND date -u -R -d ${QPM_RELEASE_DATE}
                OUTPUT_VARIABLE QPM_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in packaging/changelog @ONLY)
add_custom_command(
  OUTPUT packaging/changelog.gz
  COMMAND gzip -9 -n -k -f changelog
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(qpm_changelog ALL DEPENDS packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${QPM_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel-monitor)
set(CPACK_PACKAGE_VENDOR Marrowfen)
set(CPACK_PACKAGE_CONTACT ${QPM_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "scheduled transfers and transfer resume for Quorvel PRO")
set(CPACK_PACKAGE_DESCRIPTION
    "The Quorvel PRO Monitor is a small resident program of the Quorvel PRO FTP
client. It lives as an icon in the notification area and, while the client
itself need not run, hands scheduled transfer queues to the client, starts the
client for copied FTP links and resumes interrupted transfers through the
client's helpers, writing everything it does into an activity log. The
command-line companion quorvel-monitorctl works on the same store.")
# Absolute paths in the install rules (the autostart entry in /etc) need the staging folder as
# DESTDIR, with /usr as the prefix the entries name.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QPM_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The autostart entry is configuration: an administrator's edit survives an upgrade.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/conffiles)
include(CPack)
