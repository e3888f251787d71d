# Installed layout, for `cmake --install build --prefix PREFIX` (DESTDIR honoured) and for the
# Debian package below:
#   bin/tindlewick                          the program
#   share/tindlewick/                       its resources (models, lists, highlight.js and its sheets)
#   share/applications/tindlewick.desktop   the applications-menu entry
#   share/icons/hicolor/*/apps/tindlewick.* the icon, scalable and in PNG sizes
#   share/man/man1/tindlewick.1.gz          the manual page
#   share/doc/tindlewick/                   the copyright file (the licences of all it ships) and changelog
# The program finds its resources at ../share/tindlewick from its own folder, so bin/ and
# share/ are fixed names here rather than GNUInstallDirs settings.
install(TARGETS tindlewick RUNTIME DESTINATION bin)
install(DIRECTORY ${TINDLEWICK_RESOURCE_DIR}/ DESTINATION share/tindlewick)
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/icons/ DESTINATION share/icons)
install(FILES ${CMAKE_BINARY_DIR}/share/man/man1/tindlewick.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/resources/debian/copyright ${CMAKE_BINARY_DIR}/share/doc/tindlewick/changelog.gz
  DESTINATION share/doc/tindlewick)
# The menu entry starts the installed program by its full path, known only at install time.
install(CODE "set(TINDLEWICK_DESKTOP_ENTRY_SOURCE \"${CMAKE_SOURCE_DIR}/resources/desktop/tindlewick.desktop\")
set(TINDLEWICK_DESKTOP_ENTRY_STAGING \"${CMAKE_BINARY_DIR}/install-staging\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/install-desktop-entry.cmake)

# The Debian package: `cpack --config build/CPackConfig.cmake` (scripts/package.sh) writes
# tindlewick_VERSION_ARCH.deb from the same rules, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tindlewick)
set(CPACK_PACKAGE_VENDOR Tindlewick)
set(CPACK_PACKAGE_CONTACT "Tindlewick developers <tindlewick@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clipboard history for the Linux desktop")
# The package's long description, in lines as dpkg shows them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tindlewick watches the clipboard and keeps a searchable, persistent history of"
  "what you copy: text, links, files, colours, images and other media, and code,"
  "which it recognises and highlights. The history opens in a floating panel on a"
  "global shortcut (Control+Space), and one keystroke pastes an item into the"
  "window that was in front. It needs an X11 session (or XWayland).")
# Installed with DESTDIR into the package's tree, so that the prefix at install time is /usr,
# the path the menu entry names.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links (Qt 6, SQLite, TagLib, ICU, the X libraries), as
# dpkg-shlibdeps reads them from the binary, with the versions they need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# WebP and TIFF pictures on the clipboard; an emoji picker for "/emoji" in the panel.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ibus | gnome-characters")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
