# The areas of src/, lowest first: one static library each, and the one table of which area
# may use which. An area names the areas whose headers its own files include (USES); since the
# libraries link them publicly, it may also use what those use, and nothing else.
# tests/IncludeDirectionTest.cpp reads this same table (CMake writes it into a header for the
# tests) and fails on an include that the table does not allow, on a use that no file needs,
# and on a use of an area further down the table.
#
# A folder's files are found by glob, so a new file joins its area by being there. The colour
# value types live in enrichment/ but sit below the model, which stores colours.
set(TINDLEWICK_COLOUR_VALUE_FILES
  enrichment/Color.h enrichment/Color.cpp enrichment/ColorFormat.h enrichment/ColorFormat.cpp
  enrichment/ColorSpaces.h enrichment/ColorSpaces.cpp enrichment/ColorText_p.h enrichment/ColorText.cpp)

tindlewick_area(common FOLDERS common LINKS Qt6::Core Qt6::Concurrent PkgConfig::ICU)
tindlewick_area(platform FOLDERS platform USES common
  LINKS Qt6::Gui Qt6::Network Qt6::DBus PkgConfig::X11LIBS PkgConfig::PCRE2)
tindlewick_area(colour FILES ${TINDLEWICK_COLOUR_VALUE_FILES} LINKS Qt6::Gui)
tindlewick_area(model FOLDERS model USES common platform colour LINKS PkgConfig::SQLITE3)
# Enrichment and detection sit side by side and use neither each other.
tindlewick_area(enrichment FOLDERS enrichment EXCLUDE ${TINDLEWICK_COLOUR_VALUE_FILES}
  USES common platform colour model)
tindlewick_area(detection FOLDERS detection USES common platform model LINKS Qt6::Qml)
tindlewick_area(capture FOLDERS capture USES common platform colour model enrichment detection
  LINKS PkgConfig::TAGLIB)
tindlewick_area(KeyboardShortcuts FOLDERS KeyboardShortcuts USES common platform model LINKS Qt6::Widgets)
# The panel reaches the clipboard capture only through the shell, which wires the two.
tindlewick_area(panel FOLDERS panel columns items
  USES common platform model enrichment detection KeyboardShortcuts LINKS Qt6::Widgets)
tindlewick_area(settings FOLDERS settings
  USES common platform model enrichment capture KeyboardShortcuts panel LINKS Qt6::Widgets)
tindlewick_area(shell FOLDERS shell EXCLUDE shell/main.cpp
  USES common platform model enrichment detection capture KeyboardShortcuts panel settings
  LINKS Qt6::Widgets)
