# Copies the shipped files beside the program. test.mdb and music.ini belong to the
# user once placed: they are copied only when absent. The others are refreshed.
file(GLOB shipped "${SRC}/*")
foreach(f IN LISTS shipped)
    get_filename_component(name "${f}" NAME)
    if(name STREQUAL "test.mdb" OR name STREQUAL "music.ini")
        if(NOT EXISTS "${DST}/${name}")
            file(COPY "${f}" DESTINATION "${DST}")
        endif()
    else()
        file(COPY "${f}" DESTINATION "${DST}")
    endif()
endforeach()
