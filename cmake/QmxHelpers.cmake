# Build helpers shared by every folder.

# Sources of one folder, found again whenever a file is added or removed.
function(qmx_sources out dir)
  file(GLOB _src CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${_src} PARENT_SCOPE)
endfunction()

# The component's core: every component folder except its Qt form, as one static library that the
# component module, the tests and the benchmarks link. It never links Qt, so nothing in it can include Qt.
function(qmx_add_core)
  set(_all)
  foreach(dir shell schema variants pricelist matrix pricing window)
    qmx_sources(_src ${CMAKE_SOURCE_DIR}/${dir})
    list(APPEND _all ${_src})
  endforeach()
  if(NOT _all)
    set(_all ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(quendormixal_core STATIC ${_all})
  target_include_directories(quendormixal_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(quendormixal_core PUBLIC kv_platform qmx_schema_sql)
endfunction()

# One test binary per test folder: every *_test.cpp in it, linked with the given libraries.
# Tests are discovered one by one, so ctest reports each case and can filter them by name.
function(qmx_add_test name dir)
  file(GLOB _src CONFIGURE_DEPENDS "${dir}/*_test.cpp" "${dir}/*_support.cpp")
  if(NOT _src)
    return()
  endif()
  add_executable(${name} ${_src})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
