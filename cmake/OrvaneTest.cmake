# Where the end-to-end tests find the simulators they start: beside the programs, unless a cross
# build runs its tests against the build machine's own (scripts/test-windows: Linux simulators
# started under Wine).
set(ORVANE_SIMULATEURS_DIR "${CMAKE_BINARY_DIR}/bin" CACHE PATH "Folder of the simulators the tests start")

# Where the programs run several times slower, the tests' CTest limits and their waits are stretched
# by one factor: under the sanitizers, and under Wine for a Windows build (its tests run there).
set(ORVANE_FACTEUR_WINE 4 CACHE STRING "Factor stretching the tests' time limits under Wine")
set(ORVANE_FACTEUR_ATTENTE 1)
if(ORVANE_SANITIZE)
  set(ORVANE_FACTEUR_ATTENTE ${ORVANE_FACTEUR_SANITIZE})
elseif(WIN32)
  set(ORVANE_FACTEUR_ATTENTE ${ORVANE_FACTEUR_WINE})
endif()

# orvane_add_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>] [TIMEOUT <s>])
# Builds one QtTest executable and registers it with CTest, headless.
function(orvane_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  # tests/support/attente.h: the bounds of the tests' waits.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    ORVANE_FACTEUR_ATTENTE=${ORVANE_FACTEUR_ATTENTE}
    ORVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    ORVANE_SIMULATEURS_DIR="${ORVANE_SIMULATEURS_DIR}"
    ORVANE_SUFFIXE_EXE="${CMAKE_EXECUTABLE_SUFFIX}"
    ORVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Under the sanitizers and under Wine the programs run several times slower: the test's limit and
  # the waits it hands the programs (ORVANE_..._MS variables) are stretched alike.
  if(ORVANE_FACTEUR_ATTENTE GREATER 1)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${ORVANE_FACTEUR_ATTENTE}")
    set(environnement)
    foreach(variable IN LISTS T_ENVIRONMENT)
      if(variable MATCHES "^(ORVANE_[A-Z_]+_MS)=([0-9]+)$")
        math(EXPR attente "${CMAKE_MATCH_2} * ${ORVANE_FACTEUR_ATTENTE}")
        set(variable "${CMAKE_MATCH_1}=${attente}")
      endif()
      list(APPEND environnement "${variable}")
    endforeach()
    set(T_ENVIRONMENT ${environnement})
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENVIRONMENT}")
endfunction()
