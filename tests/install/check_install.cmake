# Installs into an empty prefix and checks that the executable, the menu entry, the icon and
# the man page land where a desktop and man(1) look for them.
set(prefix "${WORK_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(files bin/vaskerel share/man/man1/vaskerel.1)
if(WINDOW)
  list(APPEND files share/applications/vaskerel.desktop share/icons/hicolor/32x32/apps/vaskerel.png)
endif()
foreach(file IN LISTS files)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
execute_process(COMMAND "${prefix}/bin/vaskerel" --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(status OR NOT version MATCHES "^vaskerel [0-9]")
  message(FATAL_ERROR "the installed executable does not run: ${status} ${version}")
endif()
if(NOT WINDOW)
  file(REMOVE_RECURSE "${prefix}")
  return()
endif()

execute_process(COMMAND desktop-file-validate "${prefix}/share/applications/vaskerel.desktop"
                RESULT_VARIABLE status OUTPUT_VARIABLE complaints ERROR_VARIABLE complaints)
if(status OR NOT complaints STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${status} ${complaints}")
endif()

# A PNG keeps its width and height at bytes 16 to 23.
file(READ "${prefix}/share/icons/hicolor/32x32/apps/vaskerel.png" size HEX OFFSET 16 LIMIT 8)
if(NOT size STREQUAL "0000002000000020")
  message(FATAL_ERROR "the icon is not 32 x 32: ${size}")
endif()

file(REMOVE_RECURSE "${prefix}")
