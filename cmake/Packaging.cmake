# `cpack -G DEB` in the build folder makes qen-browser_<version>_<arch>.deb for Debian 12.
# The package's files are exactly what `cmake --install` puts under /usr.
set(CPACK_PACKAGE_NAME qen-browser)
set(CPACK_PACKAGE_VENDOR "Qen 信息技术有限公司")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reader for the articles of a full-text periodical database")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.qeninfo.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Qen Browser developers <support@qeninfo.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "reader for the articles of a full-text periodical database
 Qen Browser opens article packages (.qen ZIP archives of scanned pages),
 single page images (TIFF, JPEG, GIF, BMP, WWP) and bibliographic records,
 lists them in an article tree, and lets the reader page through, zoom,
 adjust, select, copy, recognise the Chinese text of an area, and save or
 print pages, articles or everything. qentool does the same without a window.")
# Named, not only found by dpkg-shlibdeps: the window needs the X11 platform plugin and the
# TIFF image plugin, recognition needs the Chinese language data, and the Chinese interface
# needs a CJK font; none of these is a linked library.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), \
libqt6printsupport6 (>= 6.4), libqt6network6 (>= 6.4), qt6-qpa-plugins, \
qt6-image-formats-plugins, libzip4, libtiff6, libgif7, libtesseract5, tesseract-ocr-chi-sim, \
fonts-noto-cjk | fonts-wqy-zenhei | fonts-wqy-microhei | fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-eng, xdg-utils")
# Exact library versions on top of the names above, when the Debian tool is there.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
