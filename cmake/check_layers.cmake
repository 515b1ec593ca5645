# Fails when a layer includes a layer above it. Run as a script:
#   cmake -DSOURCE_DIR=<repo> -P cmake/check_layers.cmake
# The layers, lowest first; tools/ and tests/ may include any of them.
set(QORV_LAYERS base crypto reader card dialogs widgets procedures control host)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "check_layers: SOURCE_DIR is not set")
endif()

set(violations "")
list(LENGTH QORV_LAYERS layer_count)
foreach(layer IN LISTS QORV_LAYERS)
    list(FIND QORV_LAYERS ${layer} own_rank)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z0-9_]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/.*" "\\1" folder "${line}")
            list(FIND QORV_LAYERS ${folder} rank)
            if(rank GREATER own_rank)
                file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
                string(APPEND violations "  ${where}: ${layer} includes ${folder}/ (a layer above it)\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Layer rule broken:\n${violations}")
endif()
