# highlight.js for Qt's JavaScript engine: the pinned package's core build plus the language
# files it lacks, adapted where Qt 6.4's engine falls short, and the package style sheets the
# themes use. Both are written beside the executables, never into the source tree.
find_program(TINDLEWICK_NODE node REQUIRED)

set(HIGHLIGHTJS_PACKAGE ${TINDLEWICK_NODE_MODULES}/@highlightjs/cdn-assets)
set(HIGHLIGHTJS_TOOL ${CMAKE_SOURCE_DIR}/tools/highlightjs-resources.js)
set(HIGHLIGHTJS_OUTPUTS
  ${TINDLEWICK_RESOURCE_DIR}/highlight.min.js
  ${TINDLEWICK_RESOURCE_DIR}/highlight-styles.json)

add_custom_command(
  OUTPUT ${HIGHLIGHTJS_OUTPUTS}
  COMMAND ${TINDLEWICK_NODE} ${HIGHLIGHTJS_TOOL} ${HIGHLIGHTJS_PACKAGE} ${TINDLEWICK_RESOURCE_DIR}
  # The tool leaves unchanged files alone; touch them so the rule does not run again.
  COMMAND ${CMAKE_COMMAND} -E touch ${HIGHLIGHTJS_OUTPUTS}
  DEPENDS ${HIGHLIGHTJS_TOOL} ${HIGHLIGHTJS_PACKAGE}/package.json ${HIGHLIGHTJS_PACKAGE}/highlight.min.js
  COMMENT "Adapting highlight.js for QJSEngine"
  VERBATIM)
add_custom_target(tindlewick_highlightjs DEPENDS ${HIGHLIGHTJS_OUTPUTS})
add_dependencies(tindlewick_resources tindlewick_highlightjs)
