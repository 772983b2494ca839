# Warnings, sanitizers and the helper that declares one library per folder.
add_compile_options(-Wall -Wextra -Wshadow -Werror -Wno-error=deprecated-declarations)

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()
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

# sendora_library(name SOURCES ... PUBLIC ... PRIVATE ...): a static library for one source
# folder. Its headers are exposed through a folder of links that holds only them, so a file
# sees the headers of its own library and of the libraries it links, and nothing else: the
# compiler checks the layering. PUBLIC names what the library's own headers include.
function(sendora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set(inc ${PROJECT_BINARY_DIR}/include/${name})
  file(REMOVE_RECURSE ${inc})
  foreach(src ${ARG_SOURCES})
    if(src MATCHES "\\.h$")
      get_filename_component(abs ${src} ABSOLUTE)
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/src ${abs})
      get_filename_component(dir ${inc}/${rel} DIRECTORY)
      file(MAKE_DIRECTORY ${dir})
      file(CREATE_LINK ${abs} ${inc}/${rel} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${name} PUBLIC ${inc})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# QFINDTESTDATA finds files beside the test's source through __FILE__. ccache's base folder
# makes __FILE__ relative to the folder the compiler runs in, the build root, so that is the
# folder the relative path is resolved against.
function(sendora_test_data_paths name)
  set_property(TARGET ${name} PROPERTY QT_TESTCASE_BUILDDIR ${PROJECT_BINARY_DIR})
endfunction()

# sendora_test(name SOURCES ... LINKS ...): a Qt Test executable registered with CTest.
function(sendora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  sendora_test_data_paths(${name})
  target_link_libraries(${name} PRIVATE Qt6::Test sendora_testsupport ${ARG_LINKS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
