# The Debian package: `cpack -G DEB` in the build folder, after building the
# programs (scripts/package.sh). It holds what the install() rules put in
# place, which are only the programs and their data; the libraries are
# static, and the tests, benchmarks and gifdump have no install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quilmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first packaging of this version: the package is 0.1-1 for the program
# 0.1, as debian/changelog says.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR Orvanta)
set(CPACK_PACKAGE_CONTACT "Orvanta <feedback@orvanta.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "http://www.orvanta.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and delete the files of a CFML site that nothing names")
set(CPACK_PACKAGE_DESCRIPTION [[
Quilmere lists the directory tree of a CFML web site, reads its pages,
include files, HTML pages, style sheets and scripts, and checks every file
whose name none of them mentions; the checked files are deleted after a
confirmation. The command quilmere-report gives the same verdict as text,
for scripts and continuous integration.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# dpkg-shlibdeps (dpkg-dev) finds the libraries' packages; the window system
# plugin is loaded at run time, so no library link names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILMERE_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
