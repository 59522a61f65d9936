# The release public key that the program carries, as the bytes of generated/ReleaseKey.cpp.
# Sets releaseKey (the DER file the companion build carries too) and, in a development build,
# KESTROVANE_SIGNING_KEY, the private key in signing/ of the build tree that the tests and
# tools/sign-release.sh sign with. That key never leaves the build tree.
set(signingFolder ${CMAKE_BINARY_DIR}/signing)
find_program(KESTROVANE_OPENSSL openssl)

function(kestrovane_openssl)
    if(NOT KESTROVANE_OPENSSL)
        message(FATAL_ERROR "The openssl command makes the development key pair and reads PEM keys: "
                            "install it, or name a DER key in KESTROVANE_RELEASE_PUBLIC_KEY.")
    endif()
    execute_process(COMMAND ${KESTROVANE_OPENSSL} ${ARGN} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "openssl ${ARGN} failed: ${error}")
    endif()
endfunction()

if(KESTROVANE_RELEASE_PUBLIC_KEY STREQUAL "")
    set(KESTROVANE_SIGNING_KEY ${signingFolder}/development-private.pem)
    set(releaseKey ${signingFolder}/development-public.der)
    if(NOT EXISTS ${KESTROVANE_SIGNING_KEY})
        file(MAKE_DIRECTORY ${signingFolder})
        kestrovane_openssl(genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out ${KESTROVANE_SIGNING_KEY})
        file(CHMOD ${KESTROVANE_SIGNING_KEY} PERMISSIONS OWNER_READ OWNER_WRITE)
    endif()
    if(NOT EXISTS ${releaseKey})
        kestrovane_openssl(pkey -in ${KESTROVANE_SIGNING_KEY} -pubout -outform DER -out ${releaseKey})
    endif()
else()
    get_filename_component(releaseKey "${KESTROVANE_RELEASE_PUBLIC_KEY}" ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    file(READ ${releaseKey} keyStart LIMIT 10)
    if(keyStart MATCHES "^-----")
        set(pemKey ${releaseKey})
        set(releaseKey ${CMAKE_BINARY_DIR}/generated/release-public.der)
        kestrovane_openssl(pkey -pubin -in ${pemKey} -outform DER -out ${releaseKey})
    endif()
endif()

file(READ ${releaseKey} keyHex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," keyBytes "${keyHex}")
configure_file(${CMAKE_SOURCE_DIR}/src/update/ReleaseKey.cpp.in ${CMAKE_BINARY_DIR}/generated/ReleaseKey.cpp @ONLY)
