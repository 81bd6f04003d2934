# What `cmake --install` puts where, and the Debian package made from the same rules
# (`cpack -G DEB`, or `./build.sh package`).
include(GNUInstallDirs)

install(TARGETS vireo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/man/vireo-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Known by name and by first bytes, so a file manager offers Vireo for a base.
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/vireo-dbx.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

if(TARGET vireo)
  install(TARGETS vireo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/man/vireo.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/vireo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # Not under doc/: minimal systems drop /usr/share/doc, and Help must still find the guide.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vireo/help)

  # The icon theme's fixed sizes are drawn from the one SVG at build time.
  set(VIREO_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/icons/vireo.svg)
  install(FILES ${VIREO_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  set(VIREO_ICON_PNGS)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/vireo.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      # A sanitizer build's tool must not fail the build over the toolkit's own leaks or races.
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
              TSAN_OPTIONS=report_bugs=0 $<TARGET_FILE:vireo-render-icon> ${VIREO_ICON_SVG} ${size} ${png}
      DEPENDS vireo-render-icon ${VIREO_ICON_SVG}
      VERBATIM)
    list(APPEND VIREO_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(vireo_icons ALL DEPENDS ${VIREO_ICON_PNGS})
endif()

set(CPACK_PACKAGE_NAME vireo)
set(CPACK_PACKAGE_VENDOR "The Vireo developers")
set(CPACK_PACKAGE_CONTACT "The Vireo developers <vireo-developers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reads, saves and recovers Outlook Express message bases")
set(CPACK_PACKAGE_DESCRIPTION
    "Vireo opens Outlook Express message bases (.dbx files), lists and previews their messages, \
writes them out as .eml, mbox or Maildir, and recovers messages from damaged bases and disk \
images, deleted ones included. It never writes to a base it reads.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
# The libraries come from dpkg-shlibdeps; the SVG plugin the pictures load is not linked, so it is
# named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils, shared-mime-info")
set(CPACK_GENERATOR DEB)
include(CPack)
