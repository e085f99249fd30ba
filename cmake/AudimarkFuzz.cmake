# Fuzz targets: one executable per reader of untrusted input, tests/fuzz/.
#
# -DAUDIMARK_FUZZ=ON (clang only): everything is compiled with libFuzzer's
# coverage instrumentation and AddressSanitizer/UndefinedBehaviorSanitizer,
# and each fuzz_<name> is a libFuzzer executable. Build them all with the
# target audimark_fuzz_targets.
#
# Otherwise (any compiler): each fuzz_<name> is linked with a replay main that
# runs its corpus once, registered in CTest as fuzz_<name>_replay, so every
# seed and every crash reproducer kept in the corpus is run by the suite.

option(AUDIMARK_FUZZ "Build the fuzz targets with libFuzzer, ASan and UBSan (clang only)" OFF)

if(AUDIMARK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR
      "AUDIMARK_FUZZ=ON needs clang with libFuzzer, but the C++ compiler is "
      "${CMAKE_CXX_COMPILER_ID} (${CMAKE_CXX_COMPILER}). Configure a fresh build directory "
      "with -DCMAKE_CXX_COMPILER=clang++ (Debian: apt-get install clang libclang-rt-14-dev).")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

add_custom_target(audimark_fuzz_targets)

set(AUDIMARK_FUZZ_REPLAY_MAIN ${CMAKE_CURRENT_LIST_DIR}/../tests/fuzz/ReplayMain.cpp)
set(AUDIMARK_FUZZ_SANITIZER_DEFAULTS ${CMAKE_CURRENT_LIST_DIR}/../tests/fuzz/SanitizerDefaults.cpp)

# audimark_add_fuzz_target(<name> SOURCES <files...> LIBS <targets...>)
# Builds fuzz_<name> from sources that define LLVMFuzzerTestOneInput and
# registers fuzz_<name>_replay, which runs corpus/<name>/ once.
function(audimark_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  set(target fuzz_${name})
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  add_executable(${target} ${F_SOURCES} ${AUDIMARK_FUZZ_SANITIZER_DEFAULTS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  add_dependencies(audimark_fuzz_targets ${target})
  if(AUDIMARK_FUZZ)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    # libFuzzer runs the given corpus once and stops with -runs=0.
    add_test(NAME ${target}_replay COMMAND ${target} -runs=0 ${corpus})
  else()
    target_sources(${target} PRIVATE ${AUDIMARK_FUZZ_REPLAY_MAIN})
    add_test(NAME ${target}_replay COMMAND ${target} ${corpus})
  endif()
  set_tests_properties(${target}_replay PROPERTIES TIMEOUT 300
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
