# Warnings, sanitizers and the helper that declares one library per folder.
add_compile_options(-Wall -Wextra -Werror -Wno-error=deprecated-declarations)
add_compile_definitions(QT_NO_KEYWORDS SENDORA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  SENDORA_VERSION_MINOR=${PROJECT_VERSION_MINOR} SENDORA_VERSION_REVISION=${PROJECT_VERSION_PATCH})

if(SENDORA_FUZZ)
  # Instrument every library for coverage; only the fuzz targets link the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(SENDORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# sendora_library(name SOURCES ... LINKS ...): a static library for one source folder.
function(sendora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# sendora_test(name SOURCES ... LINKS ...): a Qt Test executable registered with CTest.
function(sendora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test sendora_testsupport ${ARG_LINKS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
