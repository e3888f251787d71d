# Run by `cmake --install` (and by CPack): installs the applications-menu entry with every Exec
# (the entry's own and its Settings action's) starting the installed program by its full path,
# quoted as desktop entries quote arguments. The app's
# "Launch at Login" writes the same entry for the program it runs as (src/platform/LaunchAtLogin.cpp).
set(program "${CMAKE_INSTALL_PREFIX}/bin/tindlewick")
# Inside the quotes \ " ` $ are escaped with a backslash, and the value's own escaping doubles
# every backslash again; % is doubled for the field codes.
string(REPLACE "\\" "\\\\\\\\" quoted "${program}")
foreach(reserved "\"" "`" "$")
  string(REPLACE "${reserved}" "\\\\${reserved}" quoted "${quoted}")
endforeach()
string(REPLACE "%" "%%" quoted "${quoted}")
file(READ "${TINDLEWICK_DESKTOP_ENTRY_SOURCE}" entry)
string(REPLACE "\nExec=tindlewick" "\nExec=\"${quoted}\"" entry "${entry}")
file(WRITE "${TINDLEWICK_DESKTOP_ENTRY_STAGING}/tindlewick.desktop" "${entry}")
file(INSTALL "${TINDLEWICK_DESKTOP_ENTRY_STAGING}/tindlewick.desktop"
  DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
