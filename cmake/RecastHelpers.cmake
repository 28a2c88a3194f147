# recast_add_test(NAME name LABEL label SOURCES ... [LIBS ...] [TIMEOUT s] [RESOURCE_LOCK r])
# One GoogleTest executable per component; every test case carries the component's label so
# `ctest -L label` runs just that component. Tests that hold a machine-wide resource (the
# stream client's fixed port range) name it as RESOURCE_LOCK so ctest -j never runs two of
# them at once.
function(recast_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(lock)
  if(T_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${T_NAME}
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ${lock}
    DISCOVERY_TIMEOUT 30)
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt, so that
# tools and benchmarks join the build by existing.
function(recast_add_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
