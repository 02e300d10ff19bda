# Installation as the engine expects it: the programs side by side in one folder, with app.xml beside
# them (the register mcf.s3db is created there by the engine's first run). `cmake --install build
# --prefix <folder>` lays it out; scripts/paquet makes a Debian package installing to /opt/orvane-mcf.
install(TARGETS orvane-engine orvane-render orvane-setup RUNTIME DESTINATION .)
# The e-MCF module the engine loads from its own folder for online runs.
install(TARGETS orvane-emcf LIBRARY DESTINATION .)
# The sample settings, kept apart, and copied to app.xml only when the folder has none: an install
# over an existing folder never replaces the user's settings.
install(FILES ${PROJECT_SOURCE_DIR}/examples/app.xml DESTINATION . RENAME app.xml.exemple)
install(CODE [[
  set(dossier "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  if(NOT EXISTS "${dossier}/app.xml")
    file(COPY_FILE "${dossier}/app.xml.exemple" "${dossier}/app.xml")
    # It will hold the e-MCF token and passwords: never readable by every local user.
    file(CHMOD "${dossier}/app.xml" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
  endif()
]])

if(WIN32)
  set(CPACK_GENERATOR ZIP) # scripts/paquet-windows makes the Windows ZIP: see docs/dev/windows.md
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /opt/orvane-mcf)
endif()
set(CPACK_PACKAGE_NAME orvane-mcf)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Certification des factures avec le MCF du Benin et du Niger")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/paquet)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvane <support@orvane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link (Qt 6 modules, qrcodegen, the C++ runtime) are found by
# dpkg-shlibdeps; the SQLite driver is a plugin Qt loads at run time and the CA certificates are read
# by TLS, so neither shows in the programs' links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libpq, which serves a register shared by several tills (setting registre), is linked by the engine
# and found by dpkg-shlibdeps like the Qt modules.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, ca-certificates, adduser")
# app.xml is the user's: dpkg keeps their edits across upgrades and asks before replacing it.
# postinst gives the folder to the group orvane-mcf and makes app.xml readable by that group only.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/conffiles
                                       ${PROJECT_SOURCE_DIR}/cmake/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
