# vn_module(name dir [SOURCES files...] [EXCLUDE regex...] [DEPENDS libs...]): a static library
# of the listed .cpp files of src/<dir> (without a list: all of them, less those whose names match
# an EXCLUDE expression).
function(vn_module name dir)
    cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPENDS;SOURCES" ${ARGN})
    if(ARG_SOURCES)
        list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/src/${dir}/ OUTPUT_VARIABLE sources)
    else()
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp)
    endif()
    foreach(pattern IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "/${pattern}$")
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src/${dir})
        target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src/${dir})
        target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    endif()
endfunction()

# vn_embed_binary(output symbol file): a header holding the bytes of a file as a constant array.
function(vn_embed_binary output symbol file)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${output} -DSYMBOL=${symbol}
                -P ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
        DEPENDS ${file} ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
        VERBATIM)
endfunction()
