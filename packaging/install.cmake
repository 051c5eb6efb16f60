# Install rules and the Debian package. Included at the end of the top-level
# CMakeLists.txt, after every subdirectory, so that the optional targets
# (setup dialogs, data-source command) are known when they are tested for.
#
#   cmake --install build [--prefix DIR]   with the prefix given at configure time
#   bash scripts/package.sh                builds kestrion-odbc_<version>_<arch>.deb
#
# With the prefix /usr, GNUInstallDirs gives the multiarch library folder, so
# the driver lands where Debian keeps ODBC drivers:
# /usr/lib/<multiarch>/odbc/libkestrionodbc.so.
include(GNUInstallDirs)

set(KESTRION_ODBC_DIR "${CMAKE_INSTALL_LIBDIR}/odbc")
set(KESTRION_ODBC_FULL_DIR "${CMAKE_INSTALL_FULL_LIBDIR}/odbc")
set(KESTRION_DATA_DIR "${CMAKE_INSTALL_DATADIR}/kestrion-odbc")
set(KESTRION_DOC_DIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrion-odbc")
set(KESTRION_DRIVER_FILE "${KESTRION_ODBC_FULL_DIR}/libkestrionodbc.so")
set(KESTRION_TEMPLATE_FILE "${CMAKE_INSTALL_FULL_DATADIR}/kestrion-odbc/odbcinst.ini")

install(TARGETS kestrionodbc LIBRARY DESTINATION "${KESTRION_ODBC_DIR}")
# The setup dialogs' module is loaded by the driver from its own folder.
if(TARGET kestrionodbc-gtk)
  install(TARGETS kestrionodbc-gtk LIBRARY DESTINATION "${KESTRION_ODBC_DIR}")
endif()
foreach(program kestrion-server kestrion-odbc-dsn)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
endforeach()

# The driver's section for odbcinst.ini, naming the installed library.
configure_file("${CMAKE_CURRENT_LIST_DIR}/odbcinst.ini.in"
               "${CMAKE_BINARY_DIR}/packaging/odbcinst.ini" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/packaging/odbcinst.ini" DESTINATION "${KESTRION_DATA_DIR}")

install(FILES "${CMAKE_SOURCE_DIR}/README.md" DESTINATION "${KESTRION_DOC_DIR}")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/docs/" DESTINATION "${KESTRION_DOC_DIR}"
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
if(EXISTS "${CMAKE_SOURCE_DIR}/examples")
  install(DIRECTORY "${CMAKE_SOURCE_DIR}/examples/" DESTINATION "${KESTRION_DOC_DIR}/examples")
endif()

# The Debian package. Its maintainer scripts register the driver with
# unixODBC as "Kestrion" and unregister it on removal.
foreach(script postinst prerm)
  configure_file("${CMAKE_CURRENT_LIST_DIR}/debian/${script}.in"
                 "${CMAKE_BINARY_DIR}/packaging/debian/${script}" @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                                  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrion-odbc)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Kestrion")
set(CPACK_PACKAGE_CONTACT "Kestrion ODBC developers <kestrion-odbc@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ODBC driver for the Kestrion SQL server")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ODBC driver for the Kestrion SQL server\n An ODBC 3.x driver for unixODBC, registered under the name Kestrion,\n and the kestrion-server development server.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Driver Manager and its installer library (loaded at run time, so the
# binaries do not name them); the libraries the binaries link (libssl3,
# libsqlite3-0, libc, libstdc++) are worked out from them, with versions.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libodbc2, odbcinst")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgtk-3-0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${CMAKE_BINARY_DIR}/packaging/debian/postinst;${CMAKE_BINARY_DIR}/packaging/debian/prerm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)
