# `make package`: the Debian package of what installing lays out, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quivra-downloader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quivra-downloader_<version>_amd64.deb
set(CPACK_SET_DESTDIR ON)  # install-time paths (the desktop entry's) are the package's
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Quivra downloader developers <developers@quivra-downloader.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "downloader for the Quivra video site")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Paste a video address, a BV identifier or an av number, choose a quality and
download the parts as MP4 files; log in by QR code or cookie for the members'
qualities, and search the site by keyword. The same commands run in a terminal.")
# The libraries the program links, as dpkg-shlibdeps finds them, the merge tool, and
# libavformat, which the merge check loads when it first runs (shlibdeps cannot see it).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, libavformat${AVFORMAT_MAJOR}")
include(CPack)
