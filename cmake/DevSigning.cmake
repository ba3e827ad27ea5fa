# TARNIVEX_UPDATE_SIGNERS: the certificates whose signed update clients may be started, as
# SHA-256 fingerprints of their DER (64 hex digits each, any case, separated by semicolons), or
# "none" for a program that never starts a downloaded client (and so never offers one). A
# release passes its own. Without one, a build that talks to the development server trusts the
# development signer of scripts/dev-pki, made once in <build>/dev-pki, and follows it when that
# folder is made afresh (the build configures itself again when the fingerprint file changes or
# goes). A build that talks to any other host must say whom it trusts: the development signer's
# key lies in every checkout.
set(TARNIVEX_DEV_PKI "${CMAKE_BINARY_DIR}/dev-pki")
set(_signers_doc
    "Semicolon-separated SHA-256 fingerprints of the certificates whose signed update clients may be started")

set(_dev_host "^https://(127\\.0\\.0\\.1|localhost)(:[0-9]+)?$")
set(_real_hosts "")
foreach(_url IN ITEMS "${TARNIVEX_COUNTER_URL}" "${TARNIVEX_SITE_URL}")
    if(NOT _url MATCHES "${_dev_host}")
        list(APPEND _real_hosts "${_url}")
    endif()
endforeach()

if(NOT DEFINED TARNIVEX_UPDATE_SIGNERS OR "${TARNIVEX_UPDATE_SIGNERS}" STREQUAL "" OR
   (DEFINED TARNIVEX_DEV_SIGNER AND "${TARNIVEX_UPDATE_SIGNERS}" STREQUAL "${TARNIVEX_DEV_SIGNER}"))
    if(_real_hosts)
        message(FATAL_ERROR "This build talks to ${_real_hosts} but names no update signer, and "
            "would trust the development signer, whose key is in every checkout. Pass the "
            "release certificate's SHA-256 fingerprint (and those of certificates to come): "
            "-DTARNIVEX_UPDATE_SIGNERS=<64 hex digits>[;<64 hex digits>...] "
            "(scripts/release does this from --sign-pfx), or "
            "-DTARNIVEX_UPDATE_SIGNERS=none to build a program that never self-updates.")
    endif()
    execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/dev-pki" "${TARNIVEX_DEV_PKI}"
                    RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
    if(NOT _result EQUAL 0)
        message(FATAL_ERROR "scripts/dev-pki could not make the development certificates "
                            "(scripts/setup-deps installs openssl), or pass "
                            "-DTARNIVEX_UPDATE_SIGNERS=...:\n${_output}")
    endif()
    file(STRINGS "${TARNIVEX_DEV_PKI}/signer.sha256" _fingerprint LIMIT_COUNT 1)
    set(TARNIVEX_UPDATE_SIGNERS "${_fingerprint}" CACHE STRING "${_signers_doc}" FORCE)
    set(TARNIVEX_DEV_SIGNER "${_fingerprint}" CACHE INTERNAL "the development signer's fingerprint")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${TARNIVEX_DEV_PKI}/signer.sha256")
else()
    # Given on the command line: keep it, with its description.
    set(TARNIVEX_UPDATE_SIGNERS "${TARNIVEX_UPDATE_SIGNERS}" CACHE STRING "${_signers_doc}")
endif()

# "none": the program is built with an empty list.
set(TARNIVEX_UPDATE_SIGNER_LIST "${TARNIVEX_UPDATE_SIGNERS}")
if(TARNIVEX_UPDATE_SIGNERS STREQUAL "none")
    set(TARNIVEX_UPDATE_SIGNER_LIST "")
endif()
foreach(_signer IN LISTS TARNIVEX_UPDATE_SIGNER_LIST)
    string(LENGTH "${_signer}" _length)
    if(NOT _signer MATCHES "^[0-9A-Fa-f]+$" OR NOT _length EQUAL 64)
        message(FATAL_ERROR "TARNIVEX_UPDATE_SIGNERS: \"${_signer}\" is not a SHA-256 fingerprint "
                            "(64 hex digits, no separators)")
    endif()
endforeach()
message(STATUS "Update clients may be signed by: ${TARNIVEX_UPDATE_SIGNERS}")
