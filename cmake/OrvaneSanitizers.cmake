# Instrumented builds, each in a build folder of its own (scripts/test keeps build/ plain):
# - ORVANE_SANITIZE: every target with AddressSanitizer and UndefinedBehaviorSanitizer (clang or gcc),
#   stopping at the first error of either.
# - ORVANE_FUZZ: the libFuzzer targets of tests/fuzz (clang only); the libraries get the same
#   sanitizers plus the coverage instrumentation that guides the fuzzer.
option(ORVANE_SANITIZE "Build with -fsanitize=address,undefined" OFF)
set(ORVANE_FACTEUR_SANITIZE 4 CACHE STRING "Factor stretching the tests' time limits under the sanitizers")
option(ORVANE_FUZZ "Build the libFuzzer targets of tests/fuzz (clang)" OFF)

if(ORVANE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "ORVANE_FUZZ needs clang (libFuzzer): the fuzz targets are not built")
  set(ORVANE_FUZZ OFF CACHE BOOL "" FORCE)
endif()

if(ORVANE_SANITIZE OR ORVANE_FUZZ)
  # Float-to-integer overflow is not part of gcc's "undefined" group; name it for both compilers.
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()
if(ORVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
