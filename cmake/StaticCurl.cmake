# Linux: libcurl built here, static, from Debian's source of the installed libcurl (with
# Debian's patches), as the Windows libraries build theirs (cmake/CurlOptions.cmake).
# Debian's shared libcurl brings some thirty libraries (LDAP, Kerberos, SSH, RTMP, GnuTLS...)
# that the loader maps and links at every start: some 6 ms, a fifth of a run of five small
# files. The source is kept in ~/.cache/morvantil, the build in this build folder; a
# newer Debian libcurl (a security update) is fetched and built at the next build.
# Without Debian's sources (offline, another system) the shared libcurl is used instead.
execute_process(COMMAND dpkg-query -W -f=\${source:Version} libcurl4-openssl-dev
                OUTPUT_VARIABLE curl_debian_version RESULT_VARIABLE curl_query ERROR_QUIET)
if(DEFINED ENV{XDG_CACHE_HOME})
    set(curl_cache "$ENV{XDG_CACHE_HOME}/morvantil")
else()
    set(curl_cache "$ENV{HOME}/.cache/morvantil")
endif()
set(curl_source "${curl_cache}/curl-${curl_debian_version}/curl-src")
set(curl_prefix "${CMAKE_BINARY_DIR}/curl-static/prefix")
set(curl_stamp "${curl_prefix}/debian-version")

function(curl_step what log)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_FILE "${log}" ERROR_FILE "${log}.errors")
    if(failed)
        message(FATAL_ERROR "libcurl: ${what} failed: see ${log}.errors")
    endif()
endfunction()

if(curl_query OR NOT curl_debian_version)
    set(curl_missing "libcurl4-openssl-dev is not installed from Debian")
elseif(NOT EXISTS "${curl_source}/CMakeLists.txt")
    message(STATUS "libcurl: fetching Debian's source of curl ${curl_debian_version}")
    get_filename_component(curl_download "${curl_source}" DIRECTORY)
    execute_process(COMMAND bash "${PROJECT_SOURCE_DIR}/scripts/debian-source" "${curl_download}"
                            "curl=${curl_debian_version}"
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE why)
    string(REGEX REPLACE "^[0-9]+:" "" curl_file_version "${curl_debian_version}")
    if(NOT failed)
        file(REMOVE_RECURSE "${curl_source}.partial")
        execute_process(COMMAND dpkg-source -x "curl_${curl_file_version}.dsc" "${curl_source}.partial"
                        WORKING_DIRECTORY "${curl_download}" RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE why)
    endif()
    if(failed)
        string(STRIP "${why}" why)
        set(curl_missing "Debian's source of curl ${curl_debian_version} could not be had: ${why}")
    else()
        file(RENAME "${curl_source}.partial" "${curl_source}")
    endif()
endif()

if(curl_missing)
    message(WARNING "${curl_missing}; linking the system's shared libcurl instead "
                    "(-DMORVANTIL_STATIC_CURL=OFF says so without this warning)")
    find_package(CURL REQUIRED)
    return()
endif()

# Built again when Debian's version (dpkg rewrites the package's file list) or the options
# change.
file(GLOB curl_package_files /var/lib/dpkg/info/libcurl4-openssl-dev*.list)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${PROJECT_SOURCE_DIR}/cmake/CurlOptions.cmake" ${curl_package_files})
file(MD5 "${PROJECT_SOURCE_DIR}/cmake/CurlOptions.cmake" curl_options)
set(curl_wanted "${curl_debian_version} ${curl_options}")
set(curl_built "")
if(EXISTS "${curl_stamp}")
    file(READ "${curl_stamp}" curl_built)
endif()
if(NOT curl_built STREQUAL curl_wanted)
    message(STATUS "libcurl: building ${curl_debian_version}, static, FTP and HTTP only")
    set(curl_build "${CMAKE_BINARY_DIR}/curl-static/build")
    file(REMOVE_RECURSE "${curl_build}" "${curl_prefix}")
    file(MAKE_DIRECTORY "${curl_prefix}")
    curl_step(configure "${CMAKE_BINARY_DIR}/curl-static/configure.log"
              ${CMAKE_COMMAND} -S "${curl_source}" -B "${curl_build}" -G "${CMAKE_GENERATOR}"
              -C "${PROJECT_SOURCE_DIR}/cmake/CurlOptions.cmake" -DCMAKE_INSTALL_PREFIX=${curl_prefix}
              -DCMAKE_POSITION_INDEPENDENT_CODE=ON
              -DCURL_USE_OPENSSL=ON
              # Where Debian's libcurl looks for the system's certificate authorities.
              -DCURL_CA_BUNDLE=/etc/ssl/certs/ca-certificates.crt -DCURL_CA_PATH=/etc/ssl/certs)
    cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
    curl_step(build "${CMAKE_BINARY_DIR}/curl-static/build.log"
              ${CMAKE_COMMAND} --build "${curl_build}" --target install -j ${cores})
    file(WRITE "${curl_stamp}" "${curl_wanted}")
endif()
find_package(CURL CONFIG REQUIRED PATHS "${curl_prefix}" NO_DEFAULT_PATH)
