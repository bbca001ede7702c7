# The Windows build's tests: each Qt Test program runs under Wine, in a Wine prefix of the
# build's own, whose Wine server runs from the first test to the last.
set(wine_prefix ${PROJECT_BINARY_DIR}/wineprefix)
# Wine takes its ANSI code page from the locale: Windows-1252 here, as on an Italian PC.
set(wine_environment "WINEPREFIX=${wine_prefix};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;LC_ALL=C.UTF-8")
set(CMAKE_CROSSCOMPILING_EMULATOR /bin/bash ${CMAKE_CURRENT_LIST_DIR}/support/wine-test)

add_test(NAME wine_start COMMAND /bin/bash ${CMAKE_CURRENT_LIST_DIR}/support/wine-prefix start)
add_test(NAME wine_stop COMMAND /bin/bash ${CMAKE_CURRENT_LIST_DIR}/support/wine-prefix stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${wine_environment}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${wine_environment}")
# The broker maps the Windows paths it is given through the same prefix.
set_tests_properties(peer_broker_start PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${wine_environment}")

# The stand-in installer that the update tests serve and start.
add_executable(marker_installer support/marker_installer.cpp)

function(morvantil_windows_test name)
    # A static Qt links only the windows platform plugin; the tests run on the offscreen one.
    qt_import_plugins(${name} INCLUDE Qt6::QOffscreenIntegrationPlugin)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/support/WineEnvironment.cpp)
    target_compile_definitions(${name} PRIVATE MORVANTIL_FONT_DIR="/usr/share/fonts/truetype/dejavu"
        MORVANTIL_MARKER_INSTALLER="Z:$<TARGET_FILE:marker_installer>")
    add_dependencies(${name} marker_installer)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${wine_environment}")
endfunction()

# Under Wine on a real X server (Xvfb): the newcomer's walk, as on Linux, and the installer.
add_test(NAME newcomer_walk_test
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/app/newcomer_walk_test.sh $<TARGET_FILE:morvantil> ${PROJECT_SOURCE_DIR})
add_test(NAME installer_test COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/app/installer_test.sh ${morvantil_installer})
set_tests_properties(newcomer_walk_test installer_test PROPERTIES
    ENVIRONMENT "${wine_environment}" FIXTURES_REQUIRED wine TIMEOUT 900)
