# What `cmake --install` puts beside the program (installed to bin/ by the
# top-level file): the manual pages in English and Spanish and, on Linux,
# the desktop entry and its icon at six sizes.
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
  # The icon, one image a size of the Windows icon (resources/render_icon.py
  # draws them all); the icon theme wants 48 pixels at least and picks the
  # size each place shows. OPTIONAL is checked when installing, not when
  # configuring, so a tree that gets the files later installs them without a
  # new configure.
  foreach(size 16 24 32 48 64 256)
    set(image kelvra-${size}.png)
    if(size EQUAL 256)
      set(image kelvra.png)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/${image}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kelvra.png OPTIONAL)
  endforeach()
endif()
