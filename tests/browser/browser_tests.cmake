# Registers the browser tests of the report page with CTest: node's test
# runner drives a headless Chromium through playwright-core. They need
# `apt-get install chromium` and `npm install` in tests/browser; when either
# is missing they print "# SKIP browser tests: <reason>" and count as skipped.
find_program(TONESIFT_NODE node)
if(NOT TONESIFT_NODE)
  message(STATUS "node not found: the report's browser tests are not registered")
  return()
endif()

add_test(NAME report_browser_tests
  COMMAND "${TONESIFT_NODE}" --test --test-concurrency=1 "${CMAKE_CURRENT_LIST_DIR}/report.test.mjs"
  WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}")
set_tests_properties(report_browser_tests PROPERTIES
  ENVIRONMENT "TONESIFT_BIN=$<TARGET_FILE:tonesift>"
  SKIP_REGULAR_EXPRESSION "# SKIP browser tests"
  TIMEOUT 600)

add_test(NAME report_hostile_path_tests
  COMMAND "${TONESIFT_NODE}" --test --test-concurrency=1 "${CMAKE_CURRENT_LIST_DIR}/hostile.test.mjs"
  WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}")
set_tests_properties(report_hostile_path_tests PROPERTIES
  ENVIRONMENT "TONESIFT_BIN=$<TARGET_FILE:tonesift>"
  SKIP_REGULAR_EXPRESSION "# SKIP browser tests"
  TIMEOUT 600)
