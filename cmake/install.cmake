# What `cmake --install` puts beside the program (installed to bin/ by the
# top-level file): the manual pages in English and Spanish and, on Linux,
# the desktop entry and its icon.
include(GNUInstallDirs)

# The Debian package installs the pages compressed (package.cmake).
if(NOT KELVRA_DEB)
  install(FILES ${PROJECT_SOURCE_DIR}/man/kelvra.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/man/es/kelvra.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/es/man1)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kelvra.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The icon is rendered from the same drawing as the Windows icon. OPTIONAL
  # is checked when installing, not when configuring, so a tree that gets
  # the file later installs it without a new configure.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/kelvra.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
          OPTIONAL)
endif()
