# nw_add_test(NAME SOURCES... [LIBS libs...] [FIXTURES fixtures...] [LABELS labels...])
# One Qt Test executable per subsystem, run offscreen so no test ever needs a display.
function(nw_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES} ${NW_TEST_MAIN})
    target_link_libraries(${name} PRIVATE nw_config nwtestsupport ${T_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NW_DATA_DIR=${CMAKE_BINARY_DIR}/bin;NW_NGINX_DIR=${NW_NGINX_DIR}"
        TIMEOUT 600)
    if(T_FIXTURES)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
    endif()
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
