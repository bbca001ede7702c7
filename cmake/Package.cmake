# `make package` / cpack: a Debian package of what `cmake --install` installs.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvantil)
set(CPACK_PACKAGE_VENDOR Morvantil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Trasferimento file da Brenola al server FTP")
set(CPACK_PACKAGE_DESCRIPTION "Morvantil invia al server FTP i cinque file che Brenola esporta,
con i nomi formati dal codice ISTAT del comune.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build; the package carries a stripped program.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvantil <sviluppo@morvantil.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Qt, libcurl and the rest come from what the program is linked with (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ca-certificates)

if(MORVANTIL_FTP_HOST MATCHES "^127\\." OR MORVANTIL_UPDATE_BASE_URL MATCHES "://127\\.")
    message(STATUS "Package: this build talks to local services (${MORVANTIL_FTP_HOST}, "
                   "${MORVANTIL_UPDATE_BASE_URL}); name the real ones for production")
endif()

include(CPack)
