# The Debian packages: `cpack -G DEB` in a release build tree (scripts/package does it all).
# A tree with the window makes vaskerel, one without makes vaskerel-nox, after Debian's -nox
# packages: the same command without Qt, X or Mesa, for servers and NAS boxes. Both install
# /usr/bin/vaskerel, so each conflicts with and replaces the other.
if(VASKEREL_FUZZ)
  return()
endif()
include(GNUInstallDirs)

# Debian strips .comment too (the compiler's version strings), which CPack's strip keeps.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:vaskerel>\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(CPACK_PACKAGE_NAME ${VASKEREL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The Vaskerel developers")
set(CPACK_PACKAGE_CONTACT "The Vaskerel developers <maintainers@vaskerel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HTML report of a folder's files with sizes and MD5 digests")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vaskerel.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(description_start "Vaskerel writes one HTML report of every file below a folder: one row per
file, with its path as a link, its size in bytes and its MD5 digest. Hand
the report over with the folder, and anyone can check that every file
arrived intact.
.")
# CPack puts the summary in front as the synopsis line.
if(VASKEREL_WINDOW)
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS vaskerel-nox)
  set(CPACK_DEBIAN_PACKAGE_REPLACES vaskerel-nox)
  # dpkg-shlibdeps cannot see Qt's platform plugins, which the window needs to open at all;
  # its labels are Japanese, so a font with Japanese glyphs is recommended.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
  set(CPACK_PACKAGE_DESCRIPTION "${description_start}
It has a window for the desktop and a command line for scripts, which can
also check a folder against an earlier report.")
else()
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS vaskerel)
  set(CPACK_DEBIAN_PACKAGE_REPLACES vaskerel)
  string(APPEND CPACK_PACKAGE_DESCRIPTION_SUMMARY " (no window)")
  set(CPACK_PACKAGE_DESCRIPTION "${description_start}
This package has the command line alone, built without Qt, for servers and
NAS boxes: it writes reports and checks folders against them, but has no
window. The package vaskerel has the same command with the window.")
endif()

include(CPack)
