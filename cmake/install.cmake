# Install rules and the Debian package.
#   cmake --install BUILD      filter into CUPS's filter folder, PPD where
#                              lpinfo -m finds it, man page, sample document;
#                              the printer application and its systemd unit
#   cd BUILD && cpack -G DEB   the same files as a .deb
# The CUPS folders are absolute: CUPS looks only there, whatever the prefix.

# CUPS's program folder, asked from CUPS itself.
find_program(CUPS_CONFIG_EXECUTABLE cups-config)
if(CUPS_CONFIG_EXECUTABLE)
  execute_process(COMMAND ${CUPS_CONFIG_EXECUTABLE} --serverbin
                  OUTPUT_VARIABLE corvane_serverbin OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT corvane_serverbin)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_get_variable(corvane_serverbin cups cups_serverbin)
  endif()
endif()
if(NOT corvane_serverbin)
  set(corvane_serverbin /usr/lib/cups)
endif()
set(CORVANE_CUPS_SERVERBIN ${corvane_serverbin} CACHE PATH "CUPS program folder (its filter/ holds rastertocorvane)")
set(CORVANE_PPD_DIR /usr/share/ppd/corvane CACHE PATH "Folder of the PPD, one that lpinfo -m searches")

include(GNUInstallDirs)

install(TARGETS rastertocorvane
        RUNTIME DESTINATION ${CORVANE_CUPS_SERVERBIN}/filter
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                    WORLD_READ WORLD_EXECUTE)
if(TARGET corvane_ppd)
  get_target_property(corvane_install_ppd corvane_ppd PPD_FILE)
  install(FILES ${corvane_install_ppd} DESTINATION ${CORVANE_PPD_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/man/rastertocorvane.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${PROJECT_SOURCE_DIR}/samples/sample.pdf DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The driverless printer application: the program in the binary folder, its
# systemd unit where systemd looks for packaged units.
set(CORVANE_SYSTEMD_UNIT_DIR /lib/systemd/system CACHE PATH "Folder of the printer application's systemd unit")
if(TARGET corvane-printer-app)
  install(TARGETS corvane-printer-app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Found by the app at <its folder>/../libexec/rastertocorvane.
  install(TARGETS corvane-render RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/rastertocorvane)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/corvane-printer-app.service
          DESTINATION ${CORVANE_SYSTEMD_UNIT_DIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rastertocorvane)
set(CPACK_PACKAGE_VENDOR "rastertocorvane developers")
set(CPACK_PACKAGE_CONTACT "rastertocorvane developers <rastertocorvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CUPS driver and printer application for Corvane PJL/PCL 5 laser printers")
set(CPACK_PACKAGE_DESCRIPTION
    "The rastertocorvane CUPS filter turns CUPS raster pages into a PJL/PCL 5 printer stream, and the Corvane PPD lets a print queue use it. corvane-printer-app makes the printer a driverless IPP Everywhere printer for any client.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Shared libraries (libcups2, libcupsimage2, libpappl1, libstdc++) are found
# by dpkg-shlibdeps; the print system and its PDF-to-raster filters are
# named, and Ghostscript, which renders the printer application's PDF jobs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-daemon, cups-filters")
if(TARGET corvane-printer-app)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ghostscript")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst)
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, cups-client")
include(CPack)
