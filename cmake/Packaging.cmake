# The Debian package: `cpack -G DEB` in a release build tree (scripts/package does it all).
# It is the desktop tool, so it needs the window.
if(VASKEREL_FUZZ OR NOT VASKEREL_WINDOW)
  return()
endif()

set(CPACK_PACKAGE_NAME vaskerel)
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
# dpkg-shlibdeps cannot see Qt's platform plugins, which the window needs to open at all;
# its labels are Japanese, so a font with Japanese glyphs is recommended.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# CPack puts the summary in front as the synopsis line.
set(CPACK_PACKAGE_DESCRIPTION "Vaskerel writes one HTML report of every file below a folder: one row per
file, with its path as a link, its size in bytes and its MD5 digest. Hand
the report over with the folder, and anyone can check that every file
arrived intact.
.
It has a window for the desktop and a command line for scripts, which can
also check a folder against an earlier report.")

include(CPack)
