# One interface target carries the language level, warnings and strictness for every target.
add_library(rootix_options INTERFACE)
target_compile_features(rootix_options INTERFACE cxx_std_20)
target_compile_options(rootix_options INTERFACE
  -Wall -Wextra
  # The benchmark's arithmetic must be bit-exact: no fused multiply-add anywhere.
  -ffp-contract=off)
target_compile_definitions(rootix_options INTERFACE QT_NO_KEYWORDS)
if(ROOTIX_WERROR)
  target_compile_options(rootix_options INTERFACE -Werror)
endif()
if(ROOTIX_SANITIZE)
  # Every target, tests and tools included; the first finding stops the program.
  set(_rootix_sanitize -fsanitize=${ROOTIX_SANITIZE} -fno-omit-frame-pointer)
  if(ROOTIX_SANITIZE MATCHES "undefined")
    list(APPEND _rootix_sanitize -fno-sanitize-recover=undefined)
  endif()
  target_compile_options(rootix_options INTERFACE ${_rootix_sanitize})
  target_link_options(rootix_options INTERFACE ${_rootix_sanitize})
endif()

# The version, from project(), for --version and the package.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/rootix/version.h @ONLY)
target_include_directories(rootix_options INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)

# rootix_add_subsystem(NAME DEPS...): one library per subsystem folder, from every .cpp in it.
function(rootix_add_subsystem name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  # Files that make a library of their own in the same folder.
  if(ROOTIX_OWN_LIBRARY_SOURCES)
    list(REMOVE_ITEM _sources ${ROOTIX_OWN_LIBRARY_SOURCES})
  endif()
  if(NOT _sources MATCHES "\\.cpp")
    # Headers only so far.
    add_library(rootix_${name} INTERFACE)
    target_link_libraries(rootix_${name} INTERFACE rootix_options ${ARGN})
    return()
  endif()
  add_library(rootix_${name} STATIC ${_sources})
  target_link_libraries(rootix_${name} PUBLIC rootix_options ${ARGN})
endfunction()

# rootix_add_test_suite(NAME DEPS...): one GoogleTest program per folder under tests/.
function(rootix_add_test_suite name)
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT _sources MATCHES "\\.cpp")
    return()
  endif()
  add_executable(test_${name} ${_sources})
  set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE rootix_test_support ${ARGN})
  if(NOT name STREQUAL "gui")
    target_sources(test_${name} PRIVATE $<TARGET_OBJECTS:rootix_test_main>)
  endif()
  gtest_discover_tests(test_${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES ENVIRONMENT "ROOTIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
