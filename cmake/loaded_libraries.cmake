# Libraries the program opens itself the first time it needs them, instead of linking them:
# a run that never needs one does not pay for loading it. The code gets each library's SONAME
# as read from the file found here, and the Debian package depends on the package that holds
# it, which dpkg-shlibdeps cannot see.

find_program(QS_DPKG_QUERY dpkg-query)

# qs_loaded_library(<target> <macro> <imported target> <library file> [LINKED_PACKAGE]):
# <macro> names the library's SONAME in <target>'s code, which compiles against the imported
# target's headers. LINKED_PACKAGE: its package is already a dependency, through a library
# of it that the program links.
function(qs_loaded_library target macro imported file)
    cmake_parse_arguments(ARG "LINKED_PACKAGE" "" "" ${ARGN})
    get_filename_component(real ${file} REALPATH)
    execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${real}
                    OUTPUT_VARIABLE dump ERROR_QUIET RESULT_VARIABLE failed)
    if(failed OR NOT dump MATCHES "SONAME[ \t]+([^ \t\r\n]+)")
        message(FATAL_ERROR "${file} names no SONAME")
    endif()
    set(soname ${CMAKE_MATCH_1})
    target_compile_definitions(${target} PRIVATE ${macro}="${soname}")
    target_include_directories(${target} PRIVATE
                               $<TARGET_PROPERTY:${imported},INTERFACE_INCLUDE_DIRECTORIES>)
    target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})

    # The dependency the library's package declares for its users (its shlibs entry), as
    # dpkg-shlibdeps would have written it.
    if(NOT QS_DPKG_QUERY OR ARG_LINKED_PACKAGE)
        return()
    endif()
    get_filename_component(folder ${real} DIRECTORY)
    execute_process(COMMAND ${QS_DPKG_QUERY} -S ${folder}/${soname}
                    OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE failed)
    if(failed OR NOT owner MATCHES "^([^:, ]+)")
        message(STATUS "${soname}: no Debian package holds it; the package will not depend on it")
        return()
    endif()
    set(package ${CMAKE_MATCH_1})
    execute_process(COMMAND ${QS_DPKG_QUERY} --control-show ${package} shlibs
                    OUTPUT_VARIABLE shlibs ERROR_QUIET)
    string(REGEX REPLACE "^(.*)\\.so\\.(.*)$" "\\1 \\2" entry ${soname})
    if(shlibs MATCHES "(^|\n)${entry} ([^\n]+)")
        set(depends ${CMAKE_MATCH_2})
    else()
        set(depends ${package})
    endif()
    set_property(GLOBAL APPEND PROPERTY QS_LOADED_LIBRARY_DEPENDS "${depends}")
endfunction()
