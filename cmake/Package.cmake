# What `cmake --install` puts under the prefix, and the Debian package CPack
# makes of it (`cpack -G DEB`, run by ./package). An installed program finds
# its help files in <prefix>/share/wmsetup (src/app/ProgramFolders.h).
include(GNUInstallDirs)

install(TARGETS wmsetup wmctl wmsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The help files: help/CMakeLists.txt installs them into share/wmsetup.

set(wm_packaging ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${wm_packaging}/wmsetup.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${wm_packaging}/wmsetup.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${wm_packaging}/wmsetup-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME wmsetup.xml)
install(FILES ${wm_packaging}/README.Debian DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${wm_packaging}/Settings.SSS.example DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        RENAME Settings.SSS)

# Man pages, compressed as Debian keeps them (-n: no name or time stamp, so
# the same page gives the same bytes).
set(wm_man_outputs "")
foreach(page wmsetup wmctl wmsim)
  set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
  set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${source} ${output}
                     DEPENDS ${source} VERBATIM)
  list(APPEND wm_man_outputs ${output})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${wm_man_outputs})
install(FILES ${wm_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME wmsetup)
set(CPACK_PACKAGE_VENDOR "wmsetup")
set(CPACK_PACKAGE_CONTACT "wmsetup maintainers <wmsetup@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup tool for digital panel meters used as weight meters")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps; the Qt platform
# plugins (a window, or offscreen drawing) are loaded at run time, so no
# library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The long description under the summary, in plain lines (CPack indents them
# for the control file and turns an empty line into " ."). No double quotes:
# CPack copies the text into its configuration file as it is.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads a meter's whole setup, shows and changes it, writes it back, keeps
setups as files, sends resets and reading requests, lists, plots and graphs
readings and calibrates the signal conditioner. The meter is reached over a
serial line (Custom ASCII, Modbus RTU, Modbus ASCII) or through a
serial-to-Ethernet node (Custom ASCII, Modbus TCP).

wmsetup is the desktop program, wmctl the same from the command line, and
wmsim a simulated meter on a pseudo-terminal.

Serial ports may be opened by members of the group dialout only: the package
adds no one to it, an administrator does (adduser USER dialout; see
/usr/share/doc/wmsetup/README.Debian).")
include(CPack)
