# What `cmake --install` puts beside the program (installed by src/): a desktop entry
# and the icon, at the places desktops look them up.
include(GNUInstallDirs)
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

# The icon theme wants a PNG; it is made from the window's own icon at build time.
add_executable(morvantil_ico_to_png ${CMAKE_CURRENT_LIST_DIR}/IcoToPng.cpp)
target_link_libraries(morvantil_ico_to_png PRIVATE Qt6::Gui)
set(morvantil_icon_png ${PROJECT_BINARY_DIR}/morvantil.png)
add_custom_command(OUTPUT ${morvantil_icon_png}
    COMMAND morvantil_ico_to_png ${PROJECT_SOURCE_DIR}/src/gui/images/morvantil.ico 32
            ${morvantil_icon_png}
    DEPENDS morvantil_ico_to_png ${PROJECT_SOURCE_DIR}/src/gui/images/morvantil.ico
    COMMENT "Converting the program's icon to PNG"
    VERBATIM)
add_custom_target(morvantil_icon ALL DEPENDS ${morvantil_icon_png})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/morvantil.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${morvantil_icon_png}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
# Debian wants every package to say whose it is and under what terms.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
