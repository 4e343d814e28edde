# One test executable, registered with CTest the same way for every suite:
#
#   pelimo_add_test_suite(NAME <target> SOURCES <files...> [LIBRARIES <targets...>]
#                         [QTEST] [GUI] [SERIAL] [TIMEOUT <seconds>] [PREFIX <prefix>]
#                         [ENVIRONMENT <NAME=value...>] [LAUNCHER <command...>]
#                         [SKIP_REGULAR_EXPRESSION <regex>])
#
# The executable links test_support and, by default, GoogleTest (each test found with
# gtest_discover_tests); QTEST makes it a QtTest suite, one CTest test named after the target.
# GUI runs it with PELIMO_GUI_TEST_ENV (Qt's offscreen platform). SERIAL runs each of its tests
# with no other test beside it, for suites that read a real screen against the clock of a busy
# machine. Every test name starts with
# PREFIX, by default the name of the suite's folder and a dot ("mail.", "faults."), so that
# `ctest -R mail.` runs one folder's suites. ENVIRONMENT adds entries to the environment the
# suite runs in; LAUNCHER runs a QtTest suite under another program (the executable's path
# follows it); SKIP_REGULAR_EXPRESSION marks a QtTest run whose output matches as skipped.
function(pelimo_add_test_suite)
    cmake_parse_arguments(PARSE_ARGV 0 SUITE "QTEST;GUI;SERIAL" "NAME;TIMEOUT;PREFIX;SKIP_REGULAR_EXPRESSION"
                          "SOURCES;LIBRARIES;ENVIRONMENT;LAUNCHER")
    if(NOT SUITE_NAME OR NOT SUITE_SOURCES OR SUITE_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "pelimo_add_test_suite: NAME and SOURCES, and nothing else unnamed "
                            "(${SUITE_UNPARSED_ARGUMENTS})")
    endif()
    if(NOT DEFINED SUITE_PREFIX)
        get_filename_component(folder "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
        set(SUITE_PREFIX "${folder}.")
    endif()

    set(environment)
    if(SUITE_GUI)
        list(APPEND environment ${PELIMO_GUI_TEST_ENV})
    endif()
    list(APPEND environment ${SUITE_ENVIRONMENT})

    add_executable(${SUITE_NAME} ${SUITE_SOURCES})
    target_link_libraries(${SUITE_NAME} PRIVATE ${SUITE_LIBRARIES} test_support)

    if(SUITE_QTEST)
        set(test_name ${SUITE_PREFIX}${SUITE_NAME})
        target_link_libraries(${SUITE_NAME} PRIVATE Qt6::Test)
        if(SUITE_LAUNCHER)
            add_test(NAME ${test_name} COMMAND ${SUITE_LAUNCHER} $<TARGET_FILE:${SUITE_NAME}>)
        else()
            add_test(NAME ${test_name} COMMAND ${SUITE_NAME})
        endif()
        if(environment)
            set_tests_properties(${test_name} PROPERTIES ENVIRONMENT "${environment}")
        endif()
        if(SUITE_TIMEOUT)
            set_tests_properties(${test_name} PROPERTIES TIMEOUT ${SUITE_TIMEOUT})
        endif()
        if(SUITE_SERIAL)
            set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE)
        endif()
        if(SUITE_SKIP_REGULAR_EXPRESSION)
            set_tests_properties(${test_name} PROPERTIES SKIP_REGULAR_EXPRESSION "${SUITE_SKIP_REGULAR_EXPRESSION}")
        endif()
    else()
        if(SUITE_LAUNCHER OR SUITE_SKIP_REGULAR_EXPRESSION)
            message(FATAL_ERROR "pelimo_add_test_suite(${SUITE_NAME}): LAUNCHER and "
                                "SKIP_REGULAR_EXPRESSION are for QTEST suites")
        endif()
        target_link_libraries(${SUITE_NAME} PRIVATE GTest::gtest_main)
        set(properties)
        if(SUITE_TIMEOUT)
            list(APPEND properties TIMEOUT ${SUITE_TIMEOUT})
        endif()
        if(SUITE_SERIAL)
            list(APPEND properties RUN_SERIAL TRUE)
        endif()
        gtest_discover_tests(${SUITE_NAME} TEST_PREFIX "${SUITE_PREFIX}" DISCOVERY_TIMEOUT 30
                             PROPERTIES ${properties})
        if(environment)
            # gtest_discover_tests splits a property's list value into words, so the environment
            # is set by a script of our own that CTest reads after the discovered tests.
            set(script "${CMAKE_CURRENT_BINARY_DIR}/${SUITE_NAME}_environment.cmake")
            file(WRITE "${script}"
                 "if(DEFINED ${SUITE_NAME}_TESTS)\n"
                 "  set_tests_properties(\${${SUITE_NAME}_TESTS} PROPERTIES ENVIRONMENT \"${environment}\")\n"
                 "endif()\n")
            set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
        endif()
    endif()
endfunction()
