# Debian's header-only libraries for the mingw-w64 build. Their own CMake files put /usr/include
# on the include path, where glibc's headers shadow mingw's; here each library's folder is
# linked alone into a folder of the build tree, and that folder is the include path.
function(brimlo_header_only_target target folder)
    if(TARGET ${target})
        return()
    endif()
    set(include_dir "${CMAKE_BINARY_DIR}/mingw-header-only/${folder}")
    file(MAKE_DIRECTORY "${include_dir}")
    if(NOT EXISTS "${include_dir}/${folder}")
        file(CREATE_LINK "/usr/include/${folder}" "${include_dir}/${folder}" SYMBOLIC)
    endif()
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
endfunction()
