# SPDX-License-Identifier: MIT
# The Debian package, made by `cpack -G DEB` in a build folder (scripts/package does it all).
# Its dependencies are those dpkg-shlibdeps finds in the programs (Qt's platform and picture
# plugins come with the Qt libraries they link). The fonts the windows are laid out for and Qt's
# Russian texts are only recommended: without them the program still works, in other faces and
# with English buttons in the file dialogs.
set(CPACK_PACKAGE_NAME "vellmar")
set(CPACK_PACKAGE_VENDOR "The Vellmar developers")
set(CPACK_PACKAGE_CONTACT "${VELLMAR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wizard that publishes pictures on image-hosting services")
set(CPACK_PACKAGE_HOMEPAGE_URL "${VELLMAR_REPOSITORY_URL}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "vellmar")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME "vellmar")
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-liberation2, fonts-dejavu-core, qt6-translations-l10n")
# The summary above is the first line of the Description field; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vellmar collects pictures from the file dialog, by drag and drop, as frames
from a video or as screenshots, bounds their size, re-encodes them, stamps a
text or a logo on them, makes thumbnails, uploads each one and gives the
ready-made BBCode, HTML or plain-link code to paste. Its interface is in
Russian.
.
The command-line tools vellmar-upload and vellmar-grab upload pictures and
take frames from videos in scripts.")
# The control files with the modes Debian's policy asks for, whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR "DEB")
include(CPack)
