# Precompiled headers, for the trees only CI builds (scripts/test.sh sets
# ROOTIX_PCH=ON in its sanitizer trees): nearly every file includes the same
# standard, Qt Core and GoogleTest headers, and the sanitized compiles parse
# them again at each file. The main tree keeps plain compiles, so a missing
# include in src/ still shows there.
#
# Two headers, each compiled once in a target of its own with the fewest
# macros (GCC takes a precompiled header only where every macro it was made
# with is defined the same way): one for the libraries and programs, one with
# GoogleTest for the test programs. QtTest stays out: it tests QT_GUI_LIB and
# QT_WIDGETS_LIB, which differ between the test programs.
set(_rootix_pch_headers
  <algorithm> <atomic> <chrono> <cstdint> <functional> <map> <memory> <mutex> <optional>
  <string> <string_view> <thread> <utility> <vector>
  <QByteArray> <QDir> <QFile> <QHash> <QList> <QObject> <QString> <QStringList>)

file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/generated/rootix_pch.cpp CONTENT "")
set(_rootix_pch_hosts rootix_pch)
if(TARGET GTest::gtest)
  list(APPEND _rootix_pch_hosts rootix_test_pch)
endif()
foreach(_pch IN LISTS _rootix_pch_hosts)
  add_library(${_pch} OBJECT ${PROJECT_BINARY_DIR}/generated/rootix_pch.cpp)
  set_target_properties(${_pch} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${_pch} PRIVATE rootix_options Qt6::Core)
endforeach()
target_precompile_headers(rootix_pch PRIVATE ${_rootix_pch_headers})
if(TARGET rootix_test_pch)
  target_link_libraries(rootix_test_pch PRIVATE GTest::gtest)
  target_precompile_headers(rootix_test_pch PRIVATE ${_rootix_pch_headers} <QTemporaryDir> <gtest/gtest.h>)
endif()

# Every C++ target under the tree but those without Qt, the fuzz targets (a
# tree of their own) and the tests' shared main (built without rootix_options,
# so at the compiler's own language level). QT_TESTCASE_BUILDDIR and QT_TESTCASE_SOURCEDIR name each
# test program's folder (for QFINDTESTDATA, which the tests do not use): left
# undefined so that one header serves them all.
function(_rootix_use_pch dir)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(_t IN LISTS _targets)
    get_target_property(_type ${_t} TYPE)
    if(NOT _type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$"
       OR _t MATCHES "^(rootix_pch|rootix_test_pch|rootix_hwreport|rootix_codenames|rootix_test_main|fuzz_.*)$")
      continue()
    endif()
    if(_t MATCHES "^(test_.*|rootix_test_support)$")
      target_precompile_headers(${_t} REUSE_FROM rootix_test_pch)
      target_compile_options(${_t} PRIVATE -UQT_TESTCASE_BUILDDIR -UQT_TESTCASE_SOURCEDIR)
    else()
      target_precompile_headers(${_t} REUSE_FROM rootix_pch)
    endif()
  endforeach()
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _rootix_use_pch(${_sub})
  endforeach()
endfunction()
_rootix_use_pch(${PROJECT_SOURCE_DIR})
