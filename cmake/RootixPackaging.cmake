# Install rules and the Debian package (cpack -G DEB in the build folder).
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/rootix)

install(TARGETS rootix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${_pkg}/rootix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/rootix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_pkg}/copyright DESTINATION ${_doc})

# Debian wants the manual and the changelog compressed, reproducibly (-n: no time stamp).
find_program(ROOTIX_GZIP gzip REQUIRED)
set(_compressed)
foreach(_in rootix.1 changelog)
  configure_file(${_pkg}/${_in}.in ${_gen}/${_in} @ONLY)
  add_custom_command(OUTPUT ${_gen}/${_in}.gz
    COMMAND ${ROOTIX_GZIP} -9n -c ${_gen}/${_in} > ${_gen}/${_in}.gz
    DEPENDS ${_gen}/${_in} VERBATIM)
  list(APPEND _compressed ${_gen}/${_in}.gz)
endforeach()
add_custom_target(rootix_package_docs ALL DEPENDS ${_compressed})
install(FILES ${_gen}/rootix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_gen}/changelog.gz DESTINATION ${_doc})

# The result server, once it is part of the build: its binary and a systemd
# unit that runs it as a user of its own.
if(TARGET rootix-server)
  install(TARGETS rootix-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_pkg}/rootix-server.service DESTINATION lib/systemd/system)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rootix)
set(CPACK_PACKAGE_VENDOR "Rootix developers")
set(CPACK_PACKAGE_CONTACT "Rootix developers <rootix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "multithreaded processor benchmark")
set(CPACK_PACKAGE_DESCRIPTION
  "Rootix times how long the machine takes to compute the square roots of every\n"
  "whole number of a range, split across worker threads, with a fixed Newton\n"
  "procedure that costs the same on every machine. It keeps the best time per\n"
  "test, makes score records with a hardware snapshot, and saves them to\n"
  "checksummed score files. A console window, a terminal console and unattended\n"
  "runs from the command line share one engine.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin (X11, Wayland) that libqt6gui6 only recommends.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)
include(CPack)
