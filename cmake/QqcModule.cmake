# qqc_module(<name> DEPS <targets...>)
# Builds every .cpp/.h of the calling folder into one static library named
# <name>. Sources are globbed so that adding a file needs no CMake edit.
function(qqc_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources} ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# qqc_test_suite(<folder> LIBS <targets...>)
# One GoogleTest executable per test folder, named <folder>_tests, labelled
# <folder>; every test runs offscreen. tests/support knows the build's bin
# folder and the source tree (binDir(), sourceDir()).
# SERVER: the suite's tests need the test database server (the fixture "pg"
# and its address in QQC_TEST_PG_URI, set up in tests/CMakeLists.txt).
function(qqc_test_suite folder)
  cmake_parse_arguments(ARG "SERVER" "" "LIBS" ${ARGN})
  set(server_properties)
  if(ARG_SERVER AND QQC_TEST_PG_URI)
    set(server_properties FIXTURES_REQUIRED pg ENVIRONMENT_MODIFICATION "QQC_TEST_PG_URI=set:${QQC_TEST_PG_URI}")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  if(NOT sources)
    return()
  endif()
  set(target ${folder}_tests)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE qqc_testsupport ${ARG_LIBS})
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${folder}
               ENVIRONMENT QT_QPA_PLATFORM=offscreen
               TIMEOUT 120
               ${server_properties})
endfunction()
