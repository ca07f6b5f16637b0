# Registers the browser checks of the report page with CTest: node's test
# runner drives a headless Chromium through playwright-core. They need
# Debian's chromium and `npm ci` in tests/browser (tests/setup.sh does both);
# when either is missing they fail, never skip.
find_program(TONESIFT_NODE node)
if(NOT TONESIFT_NODE)
  set(TONESIFT_NODE node) # the test then fails for want of it
endif()

add_test(NAME report_browser_steps
  COMMAND "${TONESIFT_NODE}" --test --test-concurrency=1 "${CMAKE_CURRENT_LIST_DIR}/report.test.mjs"
  WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}")
set_tests_properties(report_browser_steps PROPERTIES
  ENVIRONMENT "TONESIFT_BIN=$<TARGET_FILE:tonesift>;TONESIFT_WAVGEN=${WAVGEN}"
  TIMEOUT 600)
