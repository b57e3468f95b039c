# Debian packages: `cpack -G DEB` in a build directory makes quillharbor-cli_VERSION_ARCH.deb
# (the command-line program, no Qt) and, when the desktop program is built,
# quillharbor_VERSION_ARCH.deb. Their dependencies are Debian's packages, found by
# dpkg-shlibdeps from the libraries each program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillharbor)
set(CPACK_PACKAGE_VENDOR "Quillharbor")
set(CPACK_PACKAGE_CONTACT "Quillharbor developers <quillharbor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Download manager and site grabber")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(TARGET quillharbor)
  list(APPEND CPACK_COMPONENTS_ALL desktop)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME quillharbor-cli)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "Grabs web and FTP sites for offline browsing from the command line: resumable tasks, robots.txt, link rewriting and per-grab options in the manner of wget.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME quillharbor)
# Qt loads its SVG support as a plugin, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "The Qt desktop program of Quillharbor: tasks, lists and dialogs in a window.")

include(CPack)
