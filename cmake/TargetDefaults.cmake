# Warnings for every target of the project, as errors when VASKEREL_WERROR is on (CI).
function(vaskerel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VASKEREL_WERROR}>:-Werror>)
endfunction()

# A layer of the core: a static library whose sources lie in its own folder and which links
# only the layers below it. Static libraries do not stop a call upwards; the test
# LayerIncludesPointDownward does, by refusing any include of a header from above.
function(listgen_layer target)
  cmake_parse_arguments(LAYER "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${target} STATIC ${LAYER_SOURCES})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
  vaskerel_warnings(${target})
endfunction()
