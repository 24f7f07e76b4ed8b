# Test registration for every layer.
#
#   vistrel_add_server_test(target)  tests against the private Firebird server: label "server",
#                                    the fbserver fixture, VISTREL_FB_ENV naming its env file;
#                                    links vistrel_testsupport.
#   vistrel_add_unit_test(target)    tests that need no server: label "unit".
#   vistrel_add_window_test(target SOURCES file... [NAME name] [SERVER | OWN_SERVER] [GTEST]
#                           [WITHOUT_VERSION_RECORD] [XVFB])
#                                    a program that drives the real window (vistrel_app): the
#                                    version record (unless WITHOUT_VERSION_RECORD), Qt Test and
#                                    AUTOMOC, or with GTEST GoogleTest cases and a main of the
#                                    program's own that builds a QApplication; one ctest test named
#                                    NAME (default: the target) on the offscreen platform, or with
#                                    XVFB on a virtual X display (skipped without xvfb-run).
#                                    SERVER: what a server test has (above); OWN_SERVER: the test
#                                    starts a server of its own, label "server", the test support
#                                    linked, no shared fixture; neither: label "unit".
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

function(vistrel_add_window_test target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "SERVER;OWN_SERVER;GTEST;WITHOUT_VERSION_RECORD;XVFB" "NAME" "SOURCES")
  if(NOT arg_NAME)
    set(arg_NAME ${target})
  endif()
  if(arg_WITHOUT_VERSION_RECORD)
    add_executable(${target} ${arg_SOURCES})
  else()
    add_executable(${target} ${arg_SOURCES} $<TARGET_OBJECTS:vistrel_version_record>)
  endif()
  target_link_libraries(${target} PRIVATE vistrel_app vistrel_warnings)
  if(arg_GTEST)
    target_link_libraries(${target} PRIVATE GTest::gtest)
  else()
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_link_libraries(${target} PRIVATE Qt6::Test)
  endif()
  if(arg_SERVER OR arg_OWN_SERVER)
    target_link_libraries(${target} PRIVATE vistrel_testsupport)
  endif()

  if(arg_XVFB)
    find_program(VISTREL_XVFB_RUN xvfb-run)
    if(NOT VISTREL_XVFB_RUN)
      return()
    endif()
    add_test(NAME ${arg_NAME}
      COMMAND ${VISTREL_XVFB_RUN} -a -s "-screen 0 1400x900x24" $<TARGET_FILE:${target}>)
    set(platform "QT_QPA_PLATFORM=xcb")
  else()
    add_test(NAME ${arg_NAME} COMMAND ${target})
    set(platform "QT_QPA_PLATFORM=offscreen")
  endif()
  if(arg_SERVER)
    set_tests_properties(${arg_NAME} PROPERTIES
      LABELS server
      FIXTURES_REQUIRED fbserver
      ENVIRONMENT "VISTREL_FB_ENV=${VISTREL_FBSERVER_ENV};${platform}")
  elseif(arg_OWN_SERVER)
    set_tests_properties(${arg_NAME} PROPERTIES LABELS server ENVIRONMENT "${platform}")
  else()
    set_tests_properties(${arg_NAME} PROPERTIES LABELS unit ENVIRONMENT "${platform}")
  endif()
endfunction()
