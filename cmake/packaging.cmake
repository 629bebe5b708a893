# `cmake --build <tree> --target package`: a Debian package on Linux (the
# program, its desktop entry and icons, installed by the Qt front end's rules),
# a zip with VQ-DAZ-ER.exe and a short read-me in the Windows build tree.
set(CPACK_PACKAGE_NAME "vq-daz-er")
set(CPACK_PACKAGE_VENDOR "VQ-DAZ-ER")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop control panel for a cryptocurrency node")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows a node's block count and peer connections, polls them on a timer and sends the stop command, all through the node's own command-line client; with a tray icon, health cues and a metrics file for the node exporter.")
set(CPACK_PACKAGE_CONTACT "VQ-DAZ-ER maintainers <vq-daz-er@localhost>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME "VQ-DAZ-ER-${PROJECT_VERSION}-windows-x64")
  if(TARGET vqd_windows_program)
    install(TARGETS vqd_windows_program RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/data/README-windows.txt DESTINATION . RENAME README.txt)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/vq-daz-er")
  # The Qt 6 runtime, with the X11 platform plugin the program draws through.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6widgets6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6core6 (>= 6.2), qt6-qpa-plugins, libc6, libstdc++6")
endif()

include(CPack)
