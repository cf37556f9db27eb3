# Shared build settings and the helpers every module's CMakeLists uses.

add_library(quillon_warnings INTERFACE)
target_compile_options(quillon_warnings INTERFACE -Wall -Wextra -Werror)
if(WIN32)
  target_compile_definitions(quillon_warnings INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
endif()
if(QUILLON_SANITIZE)
  target_compile_options(quillon_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillon_warnings INTERFACE -fsanitize=address,undefined)
endif()

function(quillon_add_subdir_if_present dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# A static library of ours; sources relative to the calling directory.
function(quillon_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC quillon_warnings ${A_LIBS})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${A_INCLUDES})
endfunction()

# A GoogleTest executable. Natively it runs directly; in the Windows build it is
# cross-compiled and CMAKE_CROSSCOMPILING_EMULATOR runs it under Wine.
# WINE_ONLY / NATIVE_ONLY restrict it to one tree. LABELS tag it for ctest -L.
function(quillon_add_test name)
  cmake_parse_arguments(A "WINE_ONLY;NATIVE_ONLY" "TIMEOUT" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  if(A_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  if(A_NATIVE_ONLY AND WIN32)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE quillon_warnings ${A_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(WIN32)
    # Console subsystem, static runtime: nothing to copy next to it under Wine.
    target_link_options(${name} PRIVATE -static)
  endif()
  set(props TIMEOUT ${A_TIMEOUT})
  if(A_LABELS)
    list(APPEND props LABELS "${A_LABELS}")
  endif()
  list(APPEND props ${A_PROPERTIES})
  quillon_discover_tests_at_test_time(${name} "${props}")
endfunction()

# Lists a test program's cases when ctest runs (never while building, so building the
# Windows tree never starts Wine). This is CMake's own pre-test discovery, written to a
# file of its own: the stock single-configuration variant writes its include file twice
# and a second configure leaves it including itself.
function(quillon_discover_tests_at_test_time target properties)
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}")
  set(tests_file "${base}_tests.cmake")
  set(emulator "")
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
  string(CONCAT content
    "if(EXISTS \"$<TARGET_FILE:${target}>\")\n"
    "  if(NOT EXISTS \"${tests_file}\" OR\n"
    "     NOT \"${tests_file}\" IS_NEWER_THAN \"$<TARGET_FILE:${target}>\" OR\n"
    "     NOT \"${tests_file}\" IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")\n"
    "    include(\"${_GOOGLETEST_DISCOVER_TESTS_SCRIPT}\")\n"
    "    gtest_discover_tests_impl(\n"
    "      TEST_EXECUTABLE [==[$<TARGET_FILE:${target}>]==]\n"
    "      TEST_EXECUTOR [==[${emulator}]==]\n"
    "      TEST_WORKING_DIR [==[${CMAKE_BINARY_DIR}/bin]==]\n"
    "      TEST_EXTRA_ARGS [==[]==]\n"
    "      TEST_PROPERTIES [==[${properties}]==]\n"
    "      TEST_PREFIX [==[]==]\n"
    "      TEST_SUFFIX [==[]==]\n"
    "      TEST_FILTER [==[]==]\n"
    "      NO_PRETTY_TYPES [==[FALSE]==]\n"
    "      NO_PRETTY_VALUES [==[FALSE]==]\n"
    "      TEST_LIST [==[${target}_TESTS]==]\n"
    "      CTEST_FILE [==[${tests_file}]==]\n"
    "      TEST_DISCOVERY_TIMEOUT [==[120]==]\n"
    "      TEST_XML_OUTPUT_DIR [==[]==]\n"
    "    )\n"
    "  endif()\n"
    "  include(\"${tests_file}\")\n"
    "else()\n"
    "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
    "endif()\n")
  file(GENERATE OUTPUT "${base}_discover.cmake" CONTENT "${content}")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${base}_discover.cmake")
endfunction()

# windres reports no dependencies of a resource script: this names everything a script may
# include from src/res (scripts, headers, the manifest, icons, images), plus any EXTRA files,
# so that editing a dialog, an icon or a PNG rebuilds what embeds it. The one place that
# lists them: setting OBJECT_DEPENDS elsewhere would replace this list, not add to it.
function(quillon_resource_depends rc_file)
  cmake_parse_arguments(A "" "" "EXTRA" ${ARGN})
  set(res ${PROJECT_SOURCE_DIR}/src/res)
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${res}/*.rc ${res}/*.h ${res}/*.manifest ${res}/*.ico ${res}/*.png
    ${res}/*.bmp)
  set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS "${inputs};${A_EXTRA}")
endfunction()

# Gives a test the data files it reads as the compile definition DEFINE. Natively DEFINE is the
# source path. The Windows build copies SOURCE (a file or a folder) to bin/testdata/NAME and
# DEFINE is that copy's path relative to the test program's folder (tests/native/test_data.h
# resolves it), so that the bin folder runs on any Windows machine without the source tree.
function(quillon_test_data target define source name)
  get_target_property(sources ${target} SOURCES)
  set(resolver ${PROJECT_SOURCE_DIR}/tests/native/test_data.cpp)
  if(NOT resolver IN_LIST sources)
    target_sources(${target} PRIVATE ${resolver})
  endif()
  if(NOT WIN32)
    target_compile_definitions(${target} PRIVATE ${define}="${source}")
    return()
  endif()
  target_compile_definitions(${target} PRIVATE ${define}="testdata/${name}")
  # One copy per NAME, however many tests read it: two would write the same files at once.
  if(NOT TARGET quillon_testdata_${name})
    set(copy ${CMAKE_BINARY_DIR}/bin/testdata/${name})
    set(stamp ${CMAKE_BINARY_DIR}/testdata-${name}.stamp)
    if(IS_DIRECTORY ${source})
      file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${source}/*)
      set(copy_command ${CMAKE_COMMAND} -E copy_directory ${source} ${copy})
    else()
      set(inputs ${source})
      set(copy_command ${CMAKE_COMMAND} -E copy ${source} ${copy})
    endif()
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/testdata
      COMMAND ${copy_command}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      DEPENDS ${inputs}
      COMMENT "Copying test data ${name}")
    add_custom_target(quillon_testdata_${name} DEPENDS ${stamp})
  endif()
  add_dependencies(${target} quillon_testdata_${name})
endfunction()
