# Compile and link flags of the sanitizer and fuzzing builds; included by the
# top-level CMakeLists before any target is made.
set(VYX_SANITIZER_FLAGS "")
if(VYX_ASAN)
  list(APPEND VYX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(VYX_TSAN)
  list(APPEND VYX_SANITIZER_FLAGS -fsanitize=thread)
  # Tests that count the program's threads meet the sanitizer's own.
  add_compile_definitions(VYX_TSAN_BUILD)
endif()
if(VYX_SANITIZER_FLAGS)
  # Whole stacks in every report, and a build fast enough to test with.
  list(APPEND VYX_SANITIZER_FLAGS -fno-omit-frame-pointer)
  add_compile_options(${VYX_SANITIZER_FLAGS})
  add_link_options(${VYX_SANITIZER_FLAGS})
endif()
if(VYX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VYX_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++-14")
  endif()
  # Coverage feedback from every line the targets reach; the libFuzzer main
  # is linked into the fuzz targets alone.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Run-time options of the sanitized tests: stop at the first report, with
# the suppression files (each entry carries its reason) of this folder.
set(VYX_SANITIZER_ENV "")
if(VYX_ASAN)
  list(APPEND VYX_SANITIZER_ENV
    "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:fast_unwind_on_malloc=0"
    "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")
elseif(VYX_TSAN)
  list(APPEND VYX_SANITIZER_ENV
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_CURRENT_LIST_DIR}/tsan.supp")
endif()
