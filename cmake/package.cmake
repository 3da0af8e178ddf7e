# The Debian package, made by CPack's DEB generator over what the build
# installs (tools/package.sh configures with -DKELVRA_DEB=ON and
# CMAKE_INSTALL_PREFIX=/usr, then runs cpack): the program, both manual
# pages compressed, the desktop entry and its icons, and the copyright and
# changelog Debian wants in /usr/share/doc/kelvra.
if(NOT KELVRA_DEB OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()
include(GNUInstallDirs)

# kelvra_install_gz(SOURCE DESTINATION NAME): installs SOURCE compressed as
# NAME.gz. gzip -n keeps the name and the time out, so a file compresses to
# the same bytes on every build.
function(kelvra_install_gz source destination name)
  set(gz ${PROJECT_BINARY_DIR}/deb/${destination}/${name}.gz)
  get_filename_component(dir ${gz} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${gz} COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  install(FILES ${gz} DESTINATION ${destination})
endfunction()

kelvra_install_gz(${PROJECT_SOURCE_DIR}/man/kelvra.1 ${CMAKE_INSTALL_MANDIR}/man1 kelvra.1)
kelvra_install_gz(${PROJECT_SOURCE_DIR}/man/es/kelvra.1 ${CMAKE_INSTALL_MANDIR}/es/man1 kelvra.1)
kelvra_install_gz(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR} changelog)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog's latest entry must be this version.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^kelvra \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${latest}', not version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "Kelvra maintainers <maintainers@users.noreply.c-seed-9e929c5d.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the libraries the program links (dpkg-shlibdeps).
# Printing hands the report to lp (cups-client), recommended: without it the
# report stays on disk. zenity only shows the warning box as a desktop window
# and brings GTK and WebKit with it; without it the box is drawn in the
# console, so a console install is better off with zenity only suggested.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "console note-keeper with a Spanish interface
Kelvra keeps up to 10 notes, each a name, a time of day and a
description, and handles them from a numbered menu in Spanish: it lists
them, writes and prints a report, saves them to a plain text file and
loads them back.
.
A notification mode watches the clock and raises a warning box when a
note's time comes: a desktop box through zenity when it can, else a box
drawn in the terminal.")
include(CPack)
