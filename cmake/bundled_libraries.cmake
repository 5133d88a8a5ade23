# Debian's libraries in the programs: their static archives where each one
# exists, so the programs also start on a machine without them (libxcb, say,
# on a headless one); otherwise, or when a distribution's package wants the
# shared libraries (-DVARKIT_BUNDLE_LIBRARIES=OFF), those.
#
#   varkit_link_libraries(<target> <prefix> <pkg-config module>...)
#
# links <target> to the modules' libraries, privately, with their headers,
# and sets <prefix>_INCLUDE_DIRS for the caller. The global property
# VARKIT_BUNDLED is set once any archives are linked in.
find_package(PkgConfig REQUIRED)

function(varkit_link_libraries target prefix)
    pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${ARGN})
    set(archives)
    set(archive_names)
    set(missing FALSE)
    foreach(library IN LISTS ${prefix}_STATIC_LIBRARIES)
        if(library STREQUAL "m" OR "lib${library}.a" IN_LIST archive_names)
            continue()
        endif()
        list(APPEND archive_names "lib${library}.a")
        find_library(VARKIT_ARCHIVE_${library} NAMES lib${library}.a
                     HINTS ${${prefix}_STATIC_LIBRARY_DIRS})
        if(NOT VARKIT_ARCHIVE_${library})
            set(missing TRUE)
        endif()
        list(APPEND archives ${VARKIT_ARCHIVE_${library}})
    endforeach()
    target_include_directories(${target} PRIVATE ${${prefix}_INCLUDE_DIRS})
    if(missing OR NOT VARKIT_BUNDLE_LIBRARIES)
        target_link_libraries(${target} PRIVATE PkgConfig::${prefix})
    else()
        target_link_libraries(${target} PRIVATE ${archives} m)
        set_property(GLOBAL PROPERTY VARKIT_BUNDLED ON)
    endif()
    set(${prefix}_INCLUDE_DIRS ${${prefix}_INCLUDE_DIRS} PARENT_SCOPE)
endfunction()
