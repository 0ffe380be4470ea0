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
