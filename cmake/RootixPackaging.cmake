# Install rules and the two Debian packages (cpack -G DEB in the build folder):
# "rootix", the benchmark, and "rootix-server", the result server, which
# needs neither Qt Gui nor Qt Widgets.
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
# 2.11 was one package holding both programs; the revision orders these after it.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(ROOTIX_DEB_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

# Debian wants the manuals and changelogs compressed, reproducibly (-n: no time stamp).
find_program(ROOTIX_GZIP gzip REQUIRED)
set(_compressed)
foreach(_in rootix.1 rootix-server.1 changelog)
  configure_file(${_pkg}/${_in}.in ${_gen}/${_in} @ONLY)
  add_custom_command(OUTPUT ${_gen}/${_in}.gz
    COMMAND ${ROOTIX_GZIP} -9n -c ${_gen}/${_in} > ${_gen}/${_in}.gz
    DEPENDS ${_gen}/${_in} VERBATIM)
  list(APPEND _compressed ${_gen}/${_in}.gz)
endforeach()
add_custom_target(rootix_package_docs ALL DEPENDS ${_compressed})

# rootix_package_docs(COMPONENT PACKAGE): the copyright file and changelog
# each package carries (a version with a revision calls it changelog.Debian).
function(rootix_package_docs component package)
  set(_doc ${CMAKE_INSTALL_DATADIR}/doc/${package})
  install(FILES ${_pkg}/copyright DESTINATION ${_doc} COMPONENT ${component})
  install(FILES ${_gen}/changelog.gz DESTINATION ${_doc} RENAME changelog.Debian.gz COMPONENT ${component})
endfunction()

install(TARGETS rootix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT rootix)
install(FILES ${_gen}/rootix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT rootix)
if(ROOTIX_GUI)
  install(FILES ${_pkg}/rootix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT rootix)
  install(FILES ${_pkg}/rootix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT rootix)
endif()
rootix_package_docs(rootix rootix)

# The result server, a systemd unit that runs it as a user of its own, and
# an nginx site in front of several of them.
install(TARGETS rootix-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${_gen}/rootix-server.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)
install(FILES ${_pkg}/rootix-server.service DESTINATION lib/systemd/system COMPONENT server)
if(EXISTS ${_pkg}/nginx/rootix-server.conf)
  install(FILES ${_pkg}/nginx/rootix-server.conf
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/rootix-server/examples/nginx COMPONENT server)
endif()
rootix_package_docs(server rootix-server)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL rootix server)
set(CPACK_PACKAGE_NAME rootix)
set(CPACK_PACKAGE_VENDOR "Rootix developers")
set(CPACK_PACKAGE_CONTACT "Rootix developers <rootix@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Each package's first description line is its summary; CPack adds the
# project's description above it unless the summary is CPack's own default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")

set(CPACK_DEBIAN_ROOTIX_PACKAGE_NAME rootix)
set(CPACK_DEBIAN_ROOTIX_PACKAGE_SECTION utils)
string(CONCAT CPACK_DEBIAN_ROOTIX_DESCRIPTION
  "multithreaded processor benchmark\n"
  "Rootix times how long the machine takes to compute the square roots of every\n"
  "whole number of a range, split across worker threads, with a fixed Newton\n"
  "procedure that costs the same on every machine. It keeps the best time per\n"
  "test, makes score records with a hardware snapshot, and saves them to\n"
  "checksummed score files. A console window, a terminal console and unattended\n"
  "runs from the command line share one engine.")
if(ROOTIX_GUI)
  # The window needs a platform plugin (X11, Wayland) that libqt6gui6 only recommends.
  set(CPACK_DEBIAN_ROOTIX_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME rootix-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
string(CONCAT CPACK_DEBIAN_SERVER_DESCRIPTION
  "result server for Rootix scores\n"
  "rootix-server receives the scores Rootix submits from its submission page,\n"
  "checks them, keeps them in SQLite or PostgreSQL and shows leaderboards and a\n"
  "JSON list. It comes with a systemd unit that runs it as a user of its own.")
# Qt loads its SQL drivers as plugins, which the library scan cannot see:
# SQLite is the default database; PostgreSQL is for larger sites.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS libqt6sql6-sqlite)
set(CPACK_DEBIAN_SERVER_PACKAGE_RECOMMENDS libqt6sql6-psql)
# It takes /usr/bin/rootix-server and the unit over from the single package.
set(CPACK_DEBIAN_SERVER_PACKAGE_BREAKS "rootix (<< ${ROOTIX_DEB_VERSION})")
set(CPACK_DEBIAN_SERVER_PACKAGE_REPLACES "rootix (<< ${ROOTIX_DEB_VERSION})")

set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)
include(CPack)
