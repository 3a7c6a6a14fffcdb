# One static library a layer. A library sees only its own folder and the folders of the
# libraries it links: each gets an include root of its own in the build tree that holds
# links to its folders alone, and passes it on to what links it. So a file that includes
# a header of a higher layer, or of another window area, does not build.
#
#   qelvi_layer(<target> FOLDERS <folder under src>... [EXCLUDE <regex>]
#               [LINK <targets>...] [PRIVATE_LINK <targets>...])
function(qelvi_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 L "" "EXCLUDE" "FOLDERS;LINK;PRIVATE_LINK")
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    set(sources)
    foreach(folder IN LISTS L_FOLDERS)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
        list(APPEND sources ${found})
        get_filename_component(parent ${root}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        if(NOT EXISTS ${root}/${folder})
            file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
        endif()
    endforeach()
    if(L_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${L_EXCLUDE}")
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${L_LINK} PRIVATE ${L_PRIVATE_LINK})
endfunction()
