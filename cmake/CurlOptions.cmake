# libcurl as scripts/windows-deps builds it for Windows from Debian's source (cmake -C):
# static, and only what the program speaks, FTP and FTPS for the files, HTTP and HTTPS for
# the version check. Every other protocol and library left out is code an attacker cannot
# reach. (Linux links Debian's shared libcurl, which Debian keeps patched.)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "")
set(BUILD_CURL_EXE OFF CACHE BOOL "")
set(BUILD_TESTING OFF CACHE BOOL "")
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
foreach(library CURL_USE_LIBPSL USE_LIBIDN2 CURL_ZLIB CURL_BROTLI CURL_ZSTD USE_NGHTTP2
                CURL_USE_LIBSSH2 CURL_USE_LIBSSH CURL_USE_GSSAPI)
    set(${library} OFF CACHE BOOL "")
endforeach()
foreach(protocol LDAP LDAPS DICT FILE GOPHER IMAP MQTT POP3 RTSP SMB SMTP TELNET TFTP)
    set(CURL_DISABLE_${protocol} ON CACHE BOOL "")
endforeach()
