# Our own lists (one entry a line, with a comment header) and the public-suffix list from
# Debian's publicsuffix package, copied beside the executables where Bundle finds them.
file(GLOB TINDLEWICK_LIST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/lists/*.txt)
set(TINDLEWICK_LIST_OUTPUTS)
foreach(list ${TINDLEWICK_LIST_SOURCES})
  get_filename_component(list_name ${list} NAME)
  add_custom_command(OUTPUT ${TINDLEWICK_RESOURCE_DIR}/${list_name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${list} ${TINDLEWICK_RESOURCE_DIR}/${list_name}
    DEPENDS ${list} VERBATIM)
  list(APPEND TINDLEWICK_LIST_OUTPUTS ${TINDLEWICK_RESOURCE_DIR}/${list_name})
endforeach()

set(TINDLEWICK_PUBLIC_SUFFIX_SOURCE /usr/share/publicsuffix/public_suffix_list.dat)
if(EXISTS ${TINDLEWICK_PUBLIC_SUFFIX_SOURCE})
  add_custom_command(OUTPUT ${TINDLEWICK_RESOURCE_DIR}/public_suffix_list.dat
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TINDLEWICK_PUBLIC_SUFFIX_SOURCE}
            ${TINDLEWICK_RESOURCE_DIR}/public_suffix_list.dat
    DEPENDS ${TINDLEWICK_PUBLIC_SUFFIX_SOURCE} VERBATIM)
  list(APPEND TINDLEWICK_LIST_OUTPUTS ${TINDLEWICK_RESOURCE_DIR}/public_suffix_list.dat)
else()
  message(WARNING "No public-suffix list at ${TINDLEWICK_PUBLIC_SUFFIX_SOURCE} (package publicsuffix): "
                  "links are then found at run time from the system copy, if any")
endif()

add_custom_target(tindlewick_lists ALL DEPENDS ${TINDLEWICK_LIST_OUTPUTS})
add_dependencies(tindlewick_resources tindlewick_lists)
