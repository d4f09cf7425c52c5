# What `cmake --install` puts beside the programs and the library, and the Debian package made
# from the same tree by `cpack -G DEB`. Included at the end of the root CMakeLists.txt.

# Icon themes read PNG, not the Windows icon file the console embeds: res/quillon.png is its 48x48
# picture, written beside it by scripts/make-icon.py (res_tests checks that the two agree).
install(FILES ${CMAKE_SOURCE_DIR}/res/quillon.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${CMAKE_BINARY_DIR}/res/quillon.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Test console for velkor network video devices, with device library and emulator")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon sets the properties of the velkor device library, plays a channel's live video and \
logs every call and event. The package also holds the device library libvelkor.so and the \
velkor-device emulator.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillon developers")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
