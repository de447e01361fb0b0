# The Debian package, made by CPack from the install rules:
# `cpack --config build/CPackConfig.cmake -B build/package` (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zavio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zavio Project")
set(CPACK_PACKAGE_CONTACT "${ZAVIO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "picture viewer with a Japanese user interface")
set(CPACK_PACKAGE_DESCRIPTION "\
Zavio shows the JPEG and BMP pictures of a folder as pages of 20
thumbnails with their file names. A picture opens in a zoom window that
enlarges and reduces it with the mouse buttons; each picture can carry a
comment, kept in the folder's coment.txt in Shift-JIS; a picture can be
turned by 90 degrees and saved as JPEG, keeping the camera's data, or as
a 24-bit BMP. File managers offer Zavio in their Open With menu for
folders and pictures.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders made on the way get 755 as well, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZAVIO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries come from dpkg-shlibdeps; what is loaded at run time by name
# is added: the Japanese font of every window, Japanese texts of Qt's own
# dialogs and the xcb platform plugin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
