# `make windows-installer`: Morvantil-<version>-setup.exe, made with NSIS from the program
# this build makes (cmake/morvantil.nsi says what it installs).
if(NOT WIN32)
    return()
endif()
find_program(MAKENSIS makensis)
set(morvantil_installer ${PROJECT_BINARY_DIR}/Morvantil-${PROJECT_VERSION}-setup.exe)
add_custom_command(OUTPUT ${morvantil_installer}
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPROGRAM=$<TARGET_FILE:morvantil>
            -DICON=${PROJECT_SOURCE_DIR}/src/gui/images/morvantil.ico -DOUTFILE=${morvantil_installer}
            ${CMAKE_CURRENT_LIST_DIR}/morvantil.nsi
    DEPENDS morvantil ${CMAKE_CURRENT_LIST_DIR}/morvantil.nsi
    COMMENT "Making the installer with NSIS"
    VERBATIM)
# Part of every build: the Windows tests install it under Wine.
add_custom_target(windows_installer ALL DEPENDS ${morvantil_installer})
