# Installing Kalmira as a desktop program (cmake --install), and its Debian package
# (cpack -G DEB). The programs find their shipped files beside them in the build tree and in
# <prefix>/share/kalmira when installed.
include(GNUInstallDirs)

# Debian wants manual pages compressed, without a time stamp in the archive.
set(kalmira_man_pages kalmira-cli)
if(NOT KALMIRA_ENGINE_ONLY)
  list(APPEND kalmira_man_pages kalmira)
endif()
foreach(page ${kalmira_man_pages})
  set(source ${CMAKE_SOURCE_DIR}/resources/man/${page}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${source} > ${packed}
    DEPENDS ${source} VERBATIM)
  list(APPEND kalmira_packed_pages ${packed})
endforeach()
add_custom_target(kalmira_man_pages ALL DEPENDS ${kalmira_packed_pages})
install(FILES ${kalmira_packed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS kalmira-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT KALMIRA_ENGINE_ONLY)
  install(TARGETS kalmira RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/kalmira.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/kalmira-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kalmira.xml)
  foreach(size 16 22 24 32 48 64 128 256 512)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kalmira-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kalmira.png)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/kalmira.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${CMAKE_BINARY_DIR}/shell/readme.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/kalmira)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/text/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kalmira/text
          FILES_MATCHING PATTERN "*.tsv")
endif()

set(CPACK_PACKAGE_NAME kalmira)
set(CPACK_PACKAGE_VENDOR "Kalmira")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kalmira developers <kalmira@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make pictures small for web pages and compare what each saving costs")
set(CPACK_PACKAGE_DESCRIPTION
    "Kalmira shows the Original beside up to five Variations, each really encoded in its format and decoded again, with its file size, share and download time. kalmira-cli optimises whole folders with a profile, on every core and in shares across machines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kalmira.invalid/")
# The libraries' packages are found from what the programs link (libjpeg62-turbo, libgif7,
# libpng16-16, libtiff6, libqt6widgets6 with the window system's plug-ins, ...); the icon theme
# the icons go into is not linked, so it is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(NOT KALMIRA_ENGINE_ONLY)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "hicolor-icon-theme")
  # Qt's own dialog buttons in the program's language come from qt6-translations-l10n.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-translations-l10n, shared-mime-info, desktop-file-utils")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel")
endif()
include(CPack)
