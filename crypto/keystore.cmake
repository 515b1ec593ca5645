# Compiles the deployment's enciphered key store into qorv_crypto: the
# key-store tool reads the folder QORV_KEY_DIR (client key pair, bank server
# public key, key-store constant) and generates key_store_data.cpp.
if(NOT TARGET qorv_keystore_gen)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tools/keystore ${CMAKE_BINARY_DIR}/tools/keystore)
endif()

file(GLOB QORV_KEY_FILES CONFIGURE_DEPENDS "${QORV_KEY_DIR}/*.pem" "${QORV_KEY_DIR}/*.der"
     "${QORV_KEY_DIR}/constant.txt")
set(QORV_KEY_STORE_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/key_store_data.cpp)
add_custom_command(
    OUTPUT ${QORV_KEY_STORE_SOURCE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated
    COMMAND qorv_keystore_gen --key-dir ${QORV_KEY_DIR} --output ${QORV_KEY_STORE_SOURCE}
    DEPENDS qorv_keystore_gen ${QORV_KEY_FILES}
    COMMENT "Enciphering the key store from ${QORV_KEY_DIR}"
    VERBATIM)
target_sources(qorv_crypto PRIVATE ${QORV_KEY_STORE_SOURCE})
