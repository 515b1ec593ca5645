# What the build trusts: the extension allowed to start the host (Chromium and
# Firefox IDs) and the key folder compiled into the key store. A bank's build
# names its own; the repository's development set (an extension whose public
# key is in the tree, keys/dev with its private keys) is for an explicit
# development build only, never the silent default.
option(QORV_DEVELOPMENT
       "Development build: trust the repository's development extension and keys/dev" OFF)
option(QORV_BUILD_TOOLS "Build the development tools (simulated card, bank, demo, benchmarks)" ON)

set(QORV_DEV_KEY_DIR "${CMAKE_SOURCE_DIR}/keys/dev")
set(QORV_DEV_CHROME_EXTENSION_ID "kbpikjekkjciibmenhdnppmjacfnalkg")
set(QORV_DEV_FIREFOX_EXTENSION_ID "qorvclientatm@qorv.example")

set(QORV_KEY_DIR "" CACHE PATH
    "Deployment key folder (client key pair, bank server public key, key-store constant)")
set(QORV_CHROME_EXTENSION_ID "" CACHE STRING
    "ID of the deployment's extension in the Chromium family; a list (id;id) when stores \
that assign their own IDs (Edge Add-ons, addons.opera.com) list it too")
set(QORV_FIREFOX_EXTENSION_ID "" CACHE STRING "ID of the deployment's extension in Firefox")
# A development build fills what was not given with the development set.
if(QORV_DEVELOPMENT)
    foreach(anchor KEY_DIR CHROME_EXTENSION_ID FIREFOX_EXTENSION_ID)
        if(QORV_${anchor} STREQUAL "")
            set(QORV_${anchor} "${QORV_DEV_${anchor}}")
        endif()
    endforeach()
endif()

# A bank build names all three anchors, none of them the development ones.
if(NOT QORV_DEVELOPMENT)
    set(qorv_missing "")
    if(QORV_CHROME_EXTENSION_ID STREQUAL "")
        list(APPEND qorv_missing "-DQORV_CHROME_EXTENSION_ID=<the bank's extension ID>")
    endif()
    if(QORV_FIREFOX_EXTENSION_ID STREQUAL "")
        list(APPEND qorv_missing "-DQORV_FIREFOX_EXTENSION_ID=<the bank's Firefox add-on ID>")
    endif()
    if(QORV_KEY_DIR STREQUAL "")
        list(APPEND qorv_missing "-DQORV_KEY_DIR=<folder with the bank's keys>")
    endif()
    if(qorv_missing)
        list(JOIN qorv_missing "\n  " qorv_missing_text)
        message(FATAL_ERROR
            "This build has no trust anchors. A bank's build needs:\n  ${qorv_missing_text}\n"
            "A development build (the repository's development extension and keys/dev, "
            "never for customers) needs -DQORV_DEVELOPMENT=ON; ./run configures one.")
    endif()
    get_filename_component(qorv_key_dir_real "${QORV_KEY_DIR}" REALPATH)
    get_filename_component(qorv_dev_key_dir_real "${QORV_DEV_KEY_DIR}" REALPATH)
    if(qorv_key_dir_real STREQUAL qorv_dev_key_dir_real
       OR QORV_DEV_CHROME_EXTENSION_ID IN_LIST QORV_CHROME_EXTENSION_ID
       OR QORV_FIREFOX_EXTENSION_ID STREQUAL QORV_DEV_FIREFOX_EXTENSION_ID)
        message(FATAL_ERROR
            "The development extension IDs and keys/dev are trusted only by a development "
            "build: pass the bank's own IDs and key folder, or -DQORV_DEVELOPMENT=ON.")
    endif()
    # A copy of the development keys is still the development keys.
    foreach(key client-private.pem constant.txt)
        if(EXISTS "${QORV_KEY_DIR}/${key}")
            file(SHA256 "${QORV_KEY_DIR}/${key}" qorv_bank_key_hash)
            file(SHA256 "${QORV_DEV_KEY_DIR}/${key}" qorv_dev_key_hash)
            if(qorv_bank_key_hash STREQUAL qorv_dev_key_hash)
                message(FATAL_ERROR "${QORV_KEY_DIR}/${key} is the development key of keys/dev: "
                                    "a bank build needs the bank's own keys.")
            endif()
        endif()
    endforeach()
    if(NOT EXISTS "${QORV_KEY_DIR}/constant.txt")
        message(FATAL_ERROR "QORV_KEY_DIR (${QORV_KEY_DIR}) is not a key folder: "
                            "constant.txt is missing (see keys/dev/README.md for its shape).")
    endif()
endif()
# Every Chromium ID, as the C++ build takes them (comma-separated) and as the
# installed manifests list them.
set(QORV_CHROME_EXTENSION_IDS_TEXT "")
set(QORV_CHROME_ORIGINS_JSON "")
foreach(qorv_id IN LISTS QORV_CHROME_EXTENSION_ID)
    string(LENGTH "${qorv_id}" qorv_id_length)
    if(NOT qorv_id MATCHES "^[a-p]+$" OR NOT qorv_id_length EQUAL 32)
        message(FATAL_ERROR "QORV_CHROME_EXTENSION_ID must be 32 letters a-p "
                            "(node extension/build.mjs --new-key prints it), or a list of such "
                            "IDs separated by ';', not '${qorv_id}'")
    endif()
    if(NOT QORV_CHROME_EXTENSION_IDS_TEXT STREQUAL "")
        string(APPEND QORV_CHROME_EXTENSION_IDS_TEXT ",")
        string(APPEND QORV_CHROME_ORIGINS_JSON ", ")
    endif()
    string(APPEND QORV_CHROME_EXTENSION_IDS_TEXT "${qorv_id}")
    string(APPEND QORV_CHROME_ORIGINS_JSON "\"chrome-extension://${qorv_id}/\"")
endforeach()
if(QORV_FIREFOX_EXTENSION_ID MATCHES "[\"\\\\]")
    message(FATAL_ERROR "QORV_FIREFOX_EXTENSION_ID must not contain quotes or backslashes")
endif()
if(QORV_DEVELOPMENT)
    set(qorv_build_kind "development build")
else()
    set(qorv_build_kind "bank build")
endif()
message(STATUS "QorvClientATM ${qorv_build_kind}: extension ${QORV_CHROME_EXTENSION_IDS_TEXT}, "
               "${QORV_FIREFOX_EXTENSION_ID}; keys ${QORV_KEY_DIR}")
