# Installing the way Linux desktop programs are installed, and the Debian package.
install(FILES ${CMAKE_SOURCE_DIR}/resources/brevant.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/brevant.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/brevant-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME brevant.png)
endforeach()

set(CPACK_PACKAGE_NAME brevant)
set(CPACK_PACKAGE_VENDOR "Brevant")
set(CPACK_PACKAGE_CONTACT "Brevant maintainers <brevant@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Publish e-mail newsletters to your own mailing lists")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
# The dependencies are those of the shared libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Spelling works with the English dictionaries when they are there; passwords go to the
# desktop keyring when libsecret is there (QtKeychain opens it at run time).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hunspell-en-us, mythes-en-us, libsecret-1-0")
include(CPack)
