# The language network "guesslang.bin", converted from the public guesslang weights that the
# npm package @vscode/vscode-languagedetection ships (installed by scripts/setup.sh).
find_program(TINDLEWICK_NODE_EXECUTABLE NAMES node nodejs REQUIRED)
set(GUESSLANG_PACKAGE ${TINDLEWICK_NODE_MODULES}/@vscode/vscode-languagedetection)
set(GUESSLANG_CONVERTER ${CMAKE_SOURCE_DIR}/tools/guesslang/convert-guesslang.js)
add_custom_command(
  OUTPUT ${TINDLEWICK_RESOURCE_DIR}/guesslang.bin
  COMMAND ${TINDLEWICK_NODE_EXECUTABLE} ${GUESSLANG_CONVERTER} ${GUESSLANG_PACKAGE}
          ${TINDLEWICK_RESOURCE_DIR}/guesslang.bin
  DEPENDS ${GUESSLANG_CONVERTER} ${GUESSLANG_PACKAGE}/model/model.json
          ${GUESSLANG_PACKAGE}/model/group1-shard1of1.bin
  COMMENT "Converting the guesslang weights to guesslang.bin"
  VERBATIM)
add_custom_target(tindlewick_guesslang DEPENDS ${TINDLEWICK_RESOURCE_DIR}/guesslang.bin)
add_dependencies(tindlewick_resources tindlewick_guesslang)
