# Installs into an empty prefix and checks that everything lands where man(1), bash, dpkg and,
# with the window, a desktop and a software centre look for it, and that the metadata passes
# its validators.
set(root "${WORK_DIR}/install-check")
set(prefix "${root}/usr")
file(REMOVE_RECURSE "${root}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(status)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(metainfo share/metainfo/org.vaskerel.vaskerel.metainfo.xml)
set(icon_sizes 16 24 32 48 64 128 256)
set(files bin/vaskerel share/man/man1/vaskerel.1.gz share/bash-completion/completions/vaskerel
          share/doc/${PACKAGE}/copyright share/doc/${PACKAGE}/changelog.gz share/vaskerel/report.css
          share/locale/ja/LC_MESSAGES/vaskerel.mo)
if(WINDOW)
  list(APPEND files share/applications/vaskerel.desktop ${metainfo} share/icons/hicolor/scalable/apps/vaskerel.svg
                    share/kio/servicemenus/vaskerel-list-folder.desktop)
  foreach(size IN LISTS icon_sizes)
    list(APPEND files share/icons/hicolor/${size}x${size}/apps/vaskerel.png)
  endforeach()
endif()
foreach(file IN LISTS files)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

execute_process(COMMAND "${prefix}/bin/vaskerel" --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(status OR NOT version MATCHES "^vaskerel ([0-9.]+)")
  message(FATAL_ERROR "the installed executable does not run: ${status} ${version}")
endif()
set(version_text "${version}")
set(version "${CMAKE_MATCH_1}")
# The licence is named alike by --version, the copyright file and the metainfo.
file(STRINGS "${prefix}/share/doc/${PACKAGE}/copyright" licence REGEX "^License: " LIMIT_COUNT 1)
string(REGEX REPLACE "^License: " "" licence "${licence}")
if(NOT version_text MATCHES "\nLicense ${licence} ")
  message(FATAL_ERROR "--version does not name the licence ${licence}: ${version_text}")
endif()

# The installed executable finds its catalogue beside it.
execute_process(COMMAND env LC_ALL=ja_JP.UTF-8 "${prefix}/bin/vaskerel" --bogus ERROR_VARIABLE words)
if(NOT words MATCHES "vaskerel --help' を実行")
  message(FATAL_ERROR "the installed executable does not speak Japanese under ja_JP.UTF-8: ${words}")
endif()

# The installed stylesheet is the one the executable writes out.
execute_process(COMMAND "${prefix}/bin/vaskerel" --write-stylesheet - OUTPUT_VARIABLE written RESULT_VARIABLE status)
file(READ "${prefix}/share/vaskerel/report.css" installed)
if(status OR NOT written STREQUAL installed)
  message(FATAL_ERROR "the installed stylesheet differs from --write-stylesheet's: ${status}")
endif()

# dpkg and the software centre show the latest release; it must be this one.
execute_process(COMMAND gzip -dc "${prefix}/share/doc/${PACKAGE}/changelog.gz" OUTPUT_VARIABLE changelog)
if(NOT changelog MATCHES "^vaskerel \\(${version}\\) ")
  message(FATAL_ERROR "the changelog does not start with ${version}")
endif()
if(NOT WINDOW)
  file(REMOVE_RECURSE "${root}")
  return()
endif()
file(READ "${prefix}/${metainfo}" metadata)
if(NOT metadata MATCHES "<release version=\"${version}\"")
  message(FATAL_ERROR "the metainfo has no release ${version}")
endif()
if(NOT metadata MATCHES "<project_license>${licence}</project_license>")
  message(FATAL_ERROR "the metainfo's licence is not ${licence}")
endif()

function(expect_success)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(status)
    message(FATAL_ERROR "${ARGN}: ${status}\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

expect_success(desktop-file-validate "${prefix}/share/applications/vaskerel.desktop")
if(NOT output STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${output}")
endif()
# Installed where no file manager is, as Debian's trigger indexes it, the menu entry must not
# become the program that opens every folder.
find_program(XDG_MIME xdg-mime)
find_program(UPDATE_DESKTOP_DATABASE update-desktop-database)
if(XDG_MIME AND UPDATE_DESKTOP_DATABASE)
  expect_success("${UPDATE_DESKTOP_DATABASE}" "${prefix}/share/applications")
  expect_success(env -i "PATH=$ENV{PATH}" "HOME=${root}/home" "XDG_CONFIG_HOME=${root}/home/.config"
                 "XDG_DATA_HOME=${root}/home/.local/share" "XDG_CONFIG_DIRS=${root}/etc/xdg"
                 "XDG_DATA_DIRS=${prefix}/share" "${XDG_MIME}" query default inode/directory)
  if(NOT output STREQUAL "")
    message(FATAL_ERROR "installing vaskerel made it open folders: ${output}")
  endif()
endif()
expect_success(appstreamcli validate --no-net "${prefix}/${metainfo}")
# The tree check also ties the metainfo to its menu entry.
expect_success(appstreamcli validate-tree --no-net "${root}")

file(STRINGS "${prefix}/share/applications/vaskerel.desktop" icon_line REGEX "^Icon=")
string(REGEX REPLACE "^Icon=" "" icon "${icon_line}")
if(NOT EXISTS "${prefix}/share/icons/hicolor/scalable/apps/${icon}.svg")
  message(FATAL_ERROR "the menu entry names icon '${icon}', which is not installed")
endif()

# A PNG keeps its width and height at bytes 16 to 23.
foreach(size IN LISTS icon_sizes)
  file(READ "${prefix}/share/icons/hicolor/${size}x${size}/apps/vaskerel.png" dimensions HEX OFFSET 16 LIMIT 8)
  math(EXPR side "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(REGEX REPLACE "^0x" "" side "${side}")
  string(LENGTH "${side}" digits)
  math(EXPR padding "8 - ${digits}")
  string(REPEAT "0" ${padding} zeros)
  if(NOT dimensions STREQUAL "${zeros}${side}${zeros}${side}")
    message(FATAL_ERROR "the ${size}x${size} icon is ${dimensions}")
  endif()
endforeach()
file(REMOVE_RECURSE "${root}")
