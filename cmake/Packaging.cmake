# The Debian package (scripts/package.sh runs cpack -G DEB). dpkg-shlibdeps finds the shared
# libraries the program and its web engine module link, and with the engine's its helper process
# (libqt6webenginecore6-bin, QtWebEngineProcess). Depends adds what the program needs without
# linking it: the Japanese fonts, and xdg-open for the default browser. The addresses under
# example.org are placeholders until the project has a home of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelimo)
set(CPACK_PACKAGE_VENDOR "Pelimo developers")
set(CPACK_PACKAGE_CONTACT "Pelimo developers <pelimo@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://pelimo.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search and watch the listings of a Japanese auction site")
# Lines of the package description stay under 80 characters (Debian policy 3.4.1).
set(CPACK_PACKAGE_DESCRIPTION
    "Pelimo searches the listings of a Japanese online auction site through
the site's XML listing service and watches the ones you choose: when a
watched listing nears its end or its price moves, its row changes colour,
a desktop notification names it and, if you like, an e-mail goes out over
SMTP. Listing pages open in the built-in browser or in the default web
browser. The settings (env.ini) and the watch list (AramList.xml) are
byte-compatible with the files of the program's Windows version.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, xdg-utils")
# Native windows on a Wayland session; without it Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
