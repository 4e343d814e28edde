# One test executable, registered with CTest the same way for every suite:
#
#   pelimo_add_test_suite(NAME <target> SOURCES <files...> [LIBRARIES <targets...>]
#                         [QTEST] [GUI] [TIMEOUT <seconds>] [PREFIX <prefix>])
#
# The executable links test_support and, by default, GoogleTest (each test found with
# gtest_discover_tests); QTEST makes it a QtTest suite, one CTest test named after the target.
# GUI runs it with PELIMO_GUI_TEST_ENV (Qt's offscreen platform). Every test name starts with
# PREFIX, by default the name of the suite's folder and a dot ("mail.", "faults."), so that
# `ctest -R mail.` runs one folder's suites.
function(pelimo_add_test_suite)
    cmake_parse_arguments(PARSE_ARGV 0 SUITE "QTEST;GUI" "NAME;TIMEOUT;PREFIX" "SOURCES;LIBRARIES")
    if(NOT SUITE_NAME OR NOT SUITE_SOURCES OR SUITE_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "pelimo_add_test_suite: NAME and SOURCES, and nothing else unnamed "
                            "(${SUITE_UNPARSED_ARGUMENTS})")
    endif()
    if(NOT DEFINED SUITE_PREFIX)
        get_filename_component(folder "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
        set(SUITE_PREFIX "${folder}.")
    endif()

    add_executable(${SUITE_NAME} ${SUITE_SOURCES})
    target_link_libraries(${SUITE_NAME} PRIVATE ${SUITE_LIBRARIES} test_support)

    if(SUITE_QTEST)
        set(test_name ${SUITE_PREFIX}${SUITE_NAME})
        target_link_libraries(${SUITE_NAME} PRIVATE Qt6::Test)
        add_test(NAME ${test_name} COMMAND ${SUITE_NAME})
        if(SUITE_GUI)
            set_tests_properties(${test_name} PROPERTIES ENVIRONMENT "${PELIMO_GUI_TEST_ENV}")
        endif()
        if(SUITE_TIMEOUT)
            set_tests_properties(${test_name} PROPERTIES TIMEOUT ${SUITE_TIMEOUT})
        endif()
    else()
        target_link_libraries(${SUITE_NAME} PRIVATE GTest::gtest_main)
        set(properties)
        if(SUITE_TIMEOUT)
            list(APPEND properties TIMEOUT ${SUITE_TIMEOUT})
        endif()
        gtest_discover_tests(${SUITE_NAME} TEST_PREFIX "${SUITE_PREFIX}" DISCOVERY_TIMEOUT 30
                             PROPERTIES ${properties})
        if(SUITE_GUI)
            # gtest_discover_tests splits a property's list value into words, so the environment
            # is set by a script of our own that CTest reads after the discovered tests.
            set(script "${CMAKE_CURRENT_BINARY_DIR}/${SUITE_NAME}_environment.cmake")
            file(WRITE "${script}"
                 "if(DEFINED ${SUITE_NAME}_TESTS)\n"
                 "  set_tests_properties(\${${SUITE_NAME}_TESTS} PROPERTIES ENVIRONMENT \"${PELIMO_GUI_TEST_ENV}\")\n"
                 "endif()\n")
            set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
        endif()
    endif()
endfunction()
