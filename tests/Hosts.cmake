# Libraries with and without version resources, and a process that loads them and waits. The
# tests of both word sizes use them, those of the other word size from a companion build.
set(KESTROVANE_FIXTURES CompanyLibrary OtherTranslationLibrary NoVersionLibrary)
foreach(fixture ${KESTROVANE_FIXTURES})
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/fixtures/${fixture}.rc)
        add_library(${fixture} SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/FixtureLibrary.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/fixtures/${fixture}.rc)
    else()
        add_library(${fixture} SHARED ${CMAKE_CURRENT_LIST_DIR}/fixtures/FixtureLibrary.cpp)
    endif()
    set_target_properties(${fixture} PROPERTIES
        PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${KESTROVANE_OUTPUT_DIR}/fixtures)
    kestrovane_target_options(${fixture})
endforeach()
add_executable(ModuleHost ${CMAKE_CURRENT_LIST_DIR}/helpers/ModuleHost.cpp)
kestrovane_target_options(ModuleHost)
