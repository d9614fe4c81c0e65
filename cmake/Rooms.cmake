# rackmind_room(<target> [RECURSE] [EXCLUDE <file>...])
# A static library of every .cpp and .h of the calling folder (its subfolders too with RECURSE): a file
# added to a room builds without a CMake edit. Each room's CMakeLists.txt then links only the rooms below
# it; docs/architecture.md draws the map and tests/layers checks the include lines against it.
function(rackmind_room target)
    cmake_parse_arguments(R "RECURSE" "" "EXCLUDE" ${ARGN})
    set(mode GLOB)
    if(R_RECURSE)
        set(mode GLOB_RECURSE)
    endif()
    file(${mode} sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(file ${R_EXCLUDE})
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endforeach()
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC rackmind_options)
    # Automoc re-runs only when a file it already knew or a CMake list file changes; a header that the
    # glob has just picked up would miss its moc file. Listing the sources in an included file (rewritten
    # only when the list changes) makes a new file re-run it.
    string(REPLACE ";" "\n# " listed "${sources}")
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/rooms/${target}.cmake CONTENT "# ${listed}\n")
    include(${CMAKE_BINARY_DIR}/rooms/${target}.cmake)
endfunction()
