# Installation and the Debian package (`make package`: cpack -G DEB in the build folder gives
# nord5_<version>_<arch>.deb). The programs go to /usr/bin, with the desktop entry, the icon in the
# hicolor theme, the AppStream metainfo and a manual page for each program.
include(GNUInstallDirs)

set(NORD5_PROGRAMS)
foreach(program nord5-config nord5-cli nord5-meter-sim)
  if(TARGET ${program})
    list(APPEND NORD5_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${NORD5_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages from --help (nord5-config answers --help before it starts anything).
set(summary_nord5-config "desktop configurator for the NORD5 heat and cooling meter")
set(summary_nord5-cli "command-line front end to the NORD5 configurator's engine")
set(summary_nord5-meter-sim "virtual NORD5 meter behind a pseudo-terminal")
set(NORD5_MANPAGES)
foreach(program ${NORD5_PROGRAMS})
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            "-DSUMMARY=${summary_${program}}" -DVERSION=${PROJECT_VERSION} -DOUT=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Manual page of ${program}"
    VERBATIM)
  list(APPEND NORD5_MANPAGES ${page})
endforeach()
add_custom_target(nord5_manpages ALL DEPENDS ${NORD5_MANPAGES})
install(FILES ${NORD5_MANPAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(pkg ${PROJECT_SOURCE_DIR}/packaging)
if(TARGET nord5-config)
  install(FILES ${pkg}/nord5-config.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${pkg}/com.varmelinox.nord5config.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${pkg}/icons/nord5-config.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 128 256)
    install(FILES ${pkg}/icons/nord5-config-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME nord5-config.png)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nord5)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR VARMELINOX)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VARMELINOX NORD5 User configurator")
set(CPACK_PACKAGE_DESCRIPTION
    "Service and configuration tool for the NORD5 heat and cooling meter: reads live values and
the configuration over an optical head or an M-Bus level converter, edits, writes and calibrates,
and traces every telegram. Includes a command-line front end and a virtual meter.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "NORD5 configurator developers <nord5-config@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; Qt's platform plugins are loaded at run
# time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The desktop entry and the metainfo as the freedesktop.org validators see them.
add_test(NAME packaging.desktop_entry COMMAND desktop-file-validate ${pkg}/nord5-config.desktop)
add_test(NAME packaging.metainfo
         COMMAND appstreamcli validate --no-net ${pkg}/com.varmelinox.nord5config.metainfo.xml)
set_tests_properties(packaging.desktop_entry packaging.metainfo PROPERTIES LABELS packaging)
