# Warnings on our own code (errors only where VORLOG_WERROR asks: the project's scripts
# and CI, never a user's build), the optional sanitizer build, and the libFuzzer build.
function(vorlog_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
  if(VORLOG_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(VORLOG_SANITIZE OR VORLOG_LIBFUZZER)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  # The code the fuzz targets call is instrumented too, or libFuzzer sees only the harness.
  if(VORLOG_LIBFUZZER)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# Libraries hand the sanitizer runtime on to whatever links them.
function(vorlog_library_link_options target)
  if(VORLOG_SANITIZE OR VORLOG_LIBFUZZER)
    target_link_options(${target} INTERFACE -fsanitize=address,undefined)
  endif()
endfunction()

# A core library of one subsystem: every .cpp directly in its folder (ui/ sub-folders excluded).
function(vorlog_core_library name folder)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  vorlog_target_options(${name})
  vorlog_library_link_options(${name})
endfunction()
