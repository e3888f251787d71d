# The content-type model: our own network file (trained by tools/content-type-model from
# files that Debian packages install) and its label list, both committed under
# resources/models. The runner looks for the resource "Magika.mlmodelc" (a folder holding
# model.bin) and "magika_labels.txt".
set(MAGIKA_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/models)
set(MAGIKA_OUTPUTS ${TINDLEWICK_RESOURCE_DIR}/Magika.mlmodelc/model.bin ${TINDLEWICK_RESOURCE_DIR}/magika_labels.txt)
add_custom_command(
  OUTPUT ${MAGIKA_OUTPUTS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TINDLEWICK_RESOURCE_DIR}/Magika.mlmodelc
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MAGIKA_SOURCE_DIR}/Magika.mlmodelc/model.bin
          ${TINDLEWICK_RESOURCE_DIR}/Magika.mlmodelc/model.bin
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MAGIKA_SOURCE_DIR}/magika_labels.txt
          ${TINDLEWICK_RESOURCE_DIR}/magika_labels.txt
  DEPENDS ${MAGIKA_SOURCE_DIR}/Magika.mlmodelc/model.bin ${MAGIKA_SOURCE_DIR}/magika_labels.txt
  COMMENT "Copying the content-type model"
  VERBATIM)
add_custom_target(tindlewick_magika DEPENDS ${MAGIKA_OUTPUTS})
add_dependencies(tindlewick_resources tindlewick_magika)

# The trainer is a build tool, built only on request:
#   cmake --build build --target tindlewick_content_type_trainer
find_package(ZLIB)
if(ZLIB_FOUND)
  add_executable(tindlewick_content_type_trainer EXCLUDE_FROM_ALL
    ${CMAKE_SOURCE_DIR}/tools/content-type-model/train.cpp
    ${CMAKE_SOURCE_DIR}/tools/content-type-model/EverydayShapes.cpp
    ${CMAKE_SOURCE_DIR}/src/detection/ContentTypeFeatures.cpp
    ${CMAKE_SOURCE_DIR}/src/detection/ContentTypeNetwork.cpp)
  target_include_directories(tindlewick_content_type_trainer PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(tindlewick_content_type_trainer PRIVATE ${TINDLEWICK_WARNINGS})
  find_package(Threads REQUIRED)
  target_link_libraries(tindlewick_content_type_trainer PRIVATE ZLIB::ZLIB Threads::Threads)
endif()
