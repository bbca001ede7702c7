# The key that update signatures are checked against. A build given none makes a
# development key pair in its own folder, once: the secret key stays there, for `make run`'s
# local update service to sign with; an office never gets a program that trusts it.
set(morvantil_update_key "${MORVANTIL_UPDATE_PUBLIC_KEY}")
set(MORVANTIL_UPDATE_DEVELOPMENT_KEY OFF)
if(NOT morvantil_update_key)
    set(key_folder ${PROJECT_BINARY_DIR}/update-key)
    if(NOT EXISTS ${key_folder}/development.pub)
        find_program(MINISIGN minisign REQUIRED)
        file(MAKE_DIRECTORY ${key_folder})
        execute_process(COMMAND ${MINISIGN} -G -W -p ${key_folder}/development.pub -s ${key_folder}/development.key
                        RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
        if(NOT made EQUAL 0)
            message(FATAL_ERROR "minisign could not make the development update key in ${key_folder}")
        endif()
    endif()
    file(STRINGS ${key_folder}/development.pub key_lines)
    list(GET key_lines 1 morvantil_update_key)
    set(MORVANTIL_UPDATE_DEVELOPMENT_KEY ON)
endif()
if(NOT morvantil_update_key MATCHES "^RW[A-Za-z0-9+/]+=*$")
    message(FATAL_ERROR "MORVANTIL_UPDATE_PUBLIC_KEY is not a minisign public key line: \"${morvantil_update_key}\"")
endif()
