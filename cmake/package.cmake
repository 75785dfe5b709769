# The Debian package: `cmake --build build --target package` writes
# build/balloonstory_<version>_<arch>.deb from what `cmake --install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME balloonstory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "short picture story told in the window's title bar")
set(CPACK_PACKAGE_DESCRIPTION "One small window shows a picture of a hot-air balloon and plays a waltz once.
A short story in Japanese is told in the window's title bar, one step for each
click on the picture, until the window closes by itself.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Balloonstory developers <balloonstory@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
# Installed as if to /usr itself, so that the desktop entry names /usr/share/balloonstory.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
# The libraries the program links, as dpkg-shlibdeps finds them, and what it needs
# besides: the font its texts are drawn with. Without a SoundFont the story is silent.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-ipafont-gothic)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | fluid-soundfont-gm")
include(CPack)
