# What the desktop shows of the app: the icon (drawn as SVG, with the PNG sizes that menus,
# docks, trays and task switchers ask for), the manual page, and the changelog the package
# carries. All are written to share/ in the build tree, where an installed copy has them too,
# so the app finds its icon beside its executable either way.
find_program(TINDLEWICK_RSVG_CONVERT rsvg-convert REQUIRED) # package librsvg2-bin
find_program(TINDLEWICK_GZIP gzip REQUIRED)

set(TINDLEWICK_DESKTOP_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)
set(TINDLEWICK_ICON_DIR ${CMAKE_BINARY_DIR}/share/icons/hicolor)
set(TINDLEWICK_ICON_SIZES 16 22 24 32 48 64 128 256)
set(TINDLEWICK_ICON_SVG ${TINDLEWICK_DESKTOP_SOURCE_DIR}/tindlewick.svg)

set(TINDLEWICK_DESKTOP_OUTPUTS ${TINDLEWICK_ICON_DIR}/scalable/apps/tindlewick.svg)
add_custom_command(OUTPUT ${TINDLEWICK_ICON_DIR}/scalable/apps/tindlewick.svg
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TINDLEWICK_ICON_SVG}
          ${TINDLEWICK_ICON_DIR}/scalable/apps/tindlewick.svg
  DEPENDS ${TINDLEWICK_ICON_SVG} VERBATIM)
foreach(size ${TINDLEWICK_ICON_SIZES})
  set(png ${TINDLEWICK_ICON_DIR}/${size}x${size}/apps/tindlewick.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TINDLEWICK_ICON_DIR}/${size}x${size}/apps
    COMMAND ${TINDLEWICK_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${TINDLEWICK_ICON_SVG}
    DEPENDS ${TINDLEWICK_ICON_SVG}
    COMMENT "Drawing the ${size}x${size} icon"
    VERBATIM)
  list(APPEND TINDLEWICK_DESKTOP_OUTPUTS ${png})
endforeach()

# The manual page, compressed as Debian keeps manual pages (-n: no time stamp inside).
set(TINDLEWICK_MAN_PAGE ${CMAKE_BINARY_DIR}/share/man/man1/tindlewick.1)
configure_file(${TINDLEWICK_DESKTOP_SOURCE_DIR}/tindlewick.1.in ${TINDLEWICK_MAN_PAGE} @ONLY)
add_custom_command(OUTPUT ${TINDLEWICK_MAN_PAGE}.gz
  COMMAND ${TINDLEWICK_GZIP} -9 -n -f -k ${TINDLEWICK_MAN_PAGE}
  DEPENDS ${TINDLEWICK_MAN_PAGE} VERBATIM)
list(APPEND TINDLEWICK_DESKTOP_OUTPUTS ${TINDLEWICK_MAN_PAGE}.gz)

# The package's changelog, compressed as Debian keeps it beside the copyright file.
set(TINDLEWICK_CHANGELOG ${CMAKE_BINARY_DIR}/share/doc/tindlewick/changelog)
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/changelog ${TINDLEWICK_CHANGELOG} COPYONLY)
add_custom_command(OUTPUT ${TINDLEWICK_CHANGELOG}.gz
  COMMAND ${TINDLEWICK_GZIP} -9 -n -f -k ${TINDLEWICK_CHANGELOG}
  DEPENDS ${TINDLEWICK_CHANGELOG} VERBATIM)
list(APPEND TINDLEWICK_DESKTOP_OUTPUTS ${TINDLEWICK_CHANGELOG}.gz)

add_custom_target(tindlewick_desktop DEPENDS ${TINDLEWICK_DESKTOP_OUTPUTS})
add_dependencies(tindlewick_resources tindlewick_desktop)
