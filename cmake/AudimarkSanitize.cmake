# AUDIMARK_SANITIZE: every object and every link of the build runs under
# AddressSanitizer and UndefinedBehaviorSanitizer. Undefined behaviour aborts
# at once instead of printing and going on, so a test that meets it fails.
option(AUDIMARK_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(AUDIMARK_SANITIZE)
  set(audimark_sanitize_flags
      -fsanitize=address,undefined
      -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
  add_compile_options(${audimark_sanitize_flags})
  add_link_options(${audimark_sanitize_flags})
  string(JOIN " " shown ${audimark_sanitize_flags})
  message(STATUS "Audimark: building with ${shown}")
endif()
