# Test registration for every layer.
#
#   vistrel_add_server_test(target)  tests against the private Firebird server: label "server",
#                                    the fbserver fixture, VISTREL_FB_ENV naming its env file;
#                                    links vistrel_testsupport.
#   vistrel_add_unit_test(target)    tests that need no server: label "unit".
# Both run on Qt's offscreen platform. A server test program is one ctest test, so that its
# suite-level databases are built once per program rather than once per case; a unit test
# program registers each GoogleTest case as its own test. The target brings its own main
# (GTest::gtest_main, or one that builds a QApplication).
include(GoogleTest)

set(VISTREL_FBSERVER_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/fbserver.sh")
set(VISTREL_FBSERVER_DIR "${CMAKE_BINARY_DIR}/tests/fbserver")
set(VISTREL_FBSERVER_ENV "${VISTREL_FBSERVER_DIR}/env")

function(vistrel_add_server_test target)
  target_link_libraries(${target} PRIVATE vistrel_testsupport)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES
    LABELS server
    FIXTURES_REQUIRED fbserver
    ENVIRONMENT "VISTREL_FB_ENV=${VISTREL_FBSERVER_ENV};QT_QPA_PLATFORM=offscreen"
  )
endfunction()

function(vistrel_add_unit_test target)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES
      LABELS unit
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
  )
endfunction()
