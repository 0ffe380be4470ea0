# pugixml: Debian's package for the native build; for Windows and for fuzzing (where the parser must carry the
# fuzzer's coverage), compiled from Debian's source package, which scripts/install-deps.sh unpacks under
# third_party/ (never committed).
if((WIN32 AND NOT MSVC) OR QUORVEL_FUZZ)
    set(QUORVEL_PUGIXML_SRC "${PROJECT_SOURCE_DIR}/third_party/pugixml-src/src" CACHE PATH "pugixml sources")
    if(NOT EXISTS "${QUORVEL_PUGIXML_SRC}/pugixml.cpp")
        message(FATAL_ERROR "pugixml sources not found in ${QUORVEL_PUGIXML_SRC}: run scripts/install-deps.sh")
    endif()
    add_library(pugixml STATIC "${QUORVEL_PUGIXML_SRC}/pugixml.cpp")
    target_include_directories(pugixml PUBLIC "${QUORVEL_PUGIXML_SRC}")
    add_library(pugixml::pugixml ALIAS pugixml)
else()
    find_package(pugixml REQUIRED)
endif()

# PCRE2 (8-bit, Unicode), for the notification filter. Native: Debian's libpcre2-dev. Windows with mingw and the
# fuzzing build: Debian's source package, unpacked under third_party/ by scripts/install-deps.sh and built here
# with its own CMake (only the static library that the session links). MSVC: vcpkg's pcre2:x64-windows-static.
add_library(quorvel_pcre2 INTERFACE)
if((WIN32 AND NOT MSVC) OR QUORVEL_FUZZ)
    set(QUORVEL_PCRE2_SRC "${PROJECT_SOURCE_DIR}/third_party/pcre2-src" CACHE PATH "PCRE2 sources")
    if(NOT EXISTS "${QUORVEL_PCRE2_SRC}/CMakeLists.txt")
        message(FATAL_ERROR "PCRE2 sources not found in ${QUORVEL_PCRE2_SRC}: run scripts/install-deps.sh")
    endif()
    # PCRE2's CMake predates option() honouring plain variables: its choices go in as cache entries.
    set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
    set(BUILD_STATIC_LIBS ON CACHE BOOL "" FORCE)
    foreach(choice PCRE2_BUILD_PCRE2_16 PCRE2_BUILD_PCRE2_32 PCRE2_BUILD_PCRE2GREP PCRE2_BUILD_TESTS PCRE2_SUPPORT_JIT
                   PCRE2_SHOW_REPORT PCRE2_SUPPORT_LIBBZ2 PCRE2_SUPPORT_LIBZ PCRE2_SUPPORT_LIBEDIT
                   PCRE2_SUPPORT_LIBREADLINE)
        set(${choice} OFF CACHE BOOL "" FORCE)
    endforeach()
    set(PCRE2_BUILD_PCRE2_8 ON CACHE BOOL "" FORCE)
    set(PCRE2_SUPPORT_UNICODE ON CACHE BOOL "" FORCE)
    add_subdirectory("${QUORVEL_PCRE2_SRC}" "${PROJECT_BINARY_DIR}/third_party/pcre2" EXCLUDE_FROM_ALL SYSTEM)
    target_compile_options(pcre2-8-static PRIVATE -w) # its warnings are not ours to fix
    target_link_libraries(quorvel_pcre2 INTERFACE pcre2-8-static) # carries PCRE2_STATIC and the generated header
elseif(MSVC)
    find_path(QUORVEL_PCRE2_INCLUDE pcre2.h REQUIRED)
    find_library(QUORVEL_PCRE2_LIBRARY NAMES pcre2-8-static pcre2-8 REQUIRED)
    target_include_directories(quorvel_pcre2 INTERFACE "${QUORVEL_PCRE2_INCLUDE}")
    target_compile_definitions(quorvel_pcre2 INTERFACE PCRE2_STATIC)
    target_link_libraries(quorvel_pcre2 INTERFACE "${QUORVEL_PCRE2_LIBRARY}")
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
    target_link_libraries(quorvel_pcre2 INTERFACE PkgConfig::PCRE2)
endif()
