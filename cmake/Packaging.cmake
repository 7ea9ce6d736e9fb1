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
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "reader for the articles of a full-text periodical database
 Qen Browser opens article packages (.qen ZIP archives of scanned pages),
 single page images (TIFF, JPEG, GIF, BMP, WWP) and bibliographic records,
 lists them in an article tree, and lets the reader page through, zoom,
 adjust, select, copy, recognise the Chinese text of an area, and save or
 print pages, articles or everything. qentool does the same without a window.")
# The window needs a platform plugin and the TIFF image plugin, recognition needs the Chinese
# language data (and Tesseract, loaded at run time), the Chinese interface needs a CJK font:
# none of these is a library the programs link, so they are named here. The X11 plugin
# (in qt6-qpa-plugins) is the one every desktop can use, through XWayland on a Wayland
# session; the Wayland plugin is recommended, and Qt prefers it on a Wayland session.
set(qen_runtime_depends
    "qt6-qpa-plugins, qt6-image-formats-plugins, libtesseract5, tesseract-ocr-chi-sim, \
fonts-noto-cjk | fonts-wqy-zenhei | fonts-wqy-microhei | fonts-arphic-uming")
# The linked libraries with their exact versions come from dpkg-shlibdeps when it is there.
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${qen_runtime_depends}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), \
libqt6printsupport6 (>= 6.4), libqt6network6 (>= 6.4), libqt6concurrent6 (>= 6.4), libzip4, libtiff6, libdeflate0, libgif7, libjpeg62-turbo, zlib1g, libxcb1, \
${qen_runtime_depends}")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, tesseract-ocr-eng, xdg-utils")

include(CPack)
