# The desktop files and the Debian package: `cpack -G DEB` in a Release build tree gives
# korvel_VERSION_amd64.deb with the program, its manual page, README and licence, the
# launcher, the icon, the file types and the AppStream metadata.
set(korvel_packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${korvel_packaging}/org.korvel.Korvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${korvel_packaging}/org.korvel.Korvel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${korvel_packaging}/korvel-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME korvel.xml)
install(FILES ${korvel_packaging}/org.korvel.Korvel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Bitmap icons are drawn from the SVG at build time by rsvg-convert (librsvg2-bin).
find_program(KORVEL_RSVG_CONVERT rsvg-convert)
if(KORVEL_RSVG_CONVERT)
  set(korvel_icon_pngs)
  foreach(size 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}/org.korvel.Korvel.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
      COMMAND ${KORVEL_RSVG_CONVERT} -w ${size} -h ${size} ${korvel_packaging}/org.korvel.Korvel.svg -o ${png}
      DEPENDS ${korvel_packaging}/org.korvel.Korvel.svg VERBATIM)
    list(APPEND korvel_icon_pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(korvel_icons ALL DEPENDS ${korvel_icon_pngs})
  add_dependencies(korvel korvel_icons) # so that building the program is enough to install it
else()
  message(STATUS "rsvg-convert not found (librsvg2-bin): only the scalable icon is installed")
endif()

set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VERSION ${KORVEL_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Korvel developers")
set(CPACK_PACKAGE_CONTACT "Korvel developers <korvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "emulator of the ZX Spectrum 48K and 1980s Soviet computers")
set(CPACK_PACKAGE_DESCRIPTION
  "Korvel is a cycle-exact emulator of the ZX Spectrum 48K, the MS-0515, the PK8000, the Specialist, a tile-and-sprite Z80 machine and a UKNC-based workstation with DVK graphics boards and two text terminals, in an SDL2 window with sound, or headless for automation.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links (SDL2, libpng, and whatever else the build
# uses) become dependencies through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debug information stays in the build tree; the installed program is stripped.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "opense-basic")
include(CPack)
