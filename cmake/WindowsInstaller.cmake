# `make windows-installer`: Morvantil-<version>-setup.exe, made with NSIS from the program
# this build makes (cmake/morvantil.nsi says what it installs).
if(NOT WIN32)
    return()
endif()

# Authenticode signing with a certificate (README, "Signed Windows files"): Morvantil.exe as
# it is linked, the uninstaller and the installer as makensis makes them. Off without one.
set(MORVANTIL_SIGN_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key (.p12), optional")
set(MORVANTIL_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the .p12 password on its first line")
set(MORVANTIL_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service, optional")
set(morvantil_sign_define)
if(MORVANTIL_SIGN_PKCS12 OR MORVANTIL_SIGN_PASSWORD_FILE)
    if(NOT EXISTS "${MORVANTIL_SIGN_PKCS12}" OR NOT EXISTS "${MORVANTIL_SIGN_PASSWORD_FILE}")
        message(FATAL_ERROR "Signing needs both MORVANTIL_SIGN_PKCS12 and MORVANTIL_SIGN_PASSWORD_FILE, "
                            "existing files: \"${MORVANTIL_SIGN_PKCS12}\", \"${MORVANTIL_SIGN_PASSWORD_FILE}\"")
    endif()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    # The settings are part of each command, so that changing them signs anew.
    set(sign ${CMAKE_COMMAND} -E env "MORVANTIL_SIGN_PKCS12=${MORVANTIL_SIGN_PKCS12}"
        "MORVANTIL_SIGN_PASSWORD_FILE=${MORVANTIL_SIGN_PASSWORD_FILE}"
        "MORVANTIL_SIGN_TIMESTAMP_URL=${MORVANTIL_SIGN_TIMESTAMP_URL}"
        bash ${PROJECT_SOURCE_DIR}/scripts/windows-sign)
    # A linker launcher signs right after the link, without a step in src/'s own lists.
    set_property(TARGET morvantil PROPERTY CXX_LINKER_LAUNCHER ${sign} --link)
    list(JOIN sign "\" \"" sign_command)
    set(morvantil_sign_define "-DSIGN=\"${sign_command}\"")
endif()

find_program(MAKENSIS makensis)
set(morvantil_installer ${PROJECT_BINARY_DIR}/Morvantil-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${morvantil_installer}
    COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION} -DPROGRAM=$<TARGET_FILE:morvantil>
            -DICON=${PROJECT_SOURCE_DIR}/src/gui/images/morvantil.ico -DOUTFILE=${morvantil_installer}
            ${morvantil_sign_define} ${CMAKE_CURRENT_LIST_DIR}/morvantil.nsi
    DEPENDS morvantil ${CMAKE_CURRENT_LIST_DIR}/morvantil.nsi
    COMMENT "Making the installer with NSIS"
    VERBATIM)
# Part of every build: the Windows tests install it under Wine.
add_custom_target(windows_installer ALL DEPENDS ${morvantil_installer})
