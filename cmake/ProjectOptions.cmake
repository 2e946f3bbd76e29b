# Warning and sanitizer settings as interface targets, applied per target.

add_library(korvane_warnings INTERFACE)
target_compile_options(korvane_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion)

add_library(korvane_sanitizers INTERFACE)
if(KORVANE_SANITIZE AND KORVANE_TSAN)
  message(FATAL_ERROR "KORVANE_SANITIZE and KORVANE_TSAN cannot be combined")
endif()
if(KORVANE_SANITIZE)
  target_compile_options(korvane_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(korvane_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(KORVANE_BUILD_FUZZ)
  # Core libraries carry coverage instrumentation; the fuzz targets add the driver.
  target_compile_options(korvane_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer -g)
  target_link_options(korvane_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(KORVANE_TSAN)
  target_compile_options(korvane_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer -O1 -g)
  target_link_options(korvane_sanitizers INTERFACE -fsanitize=thread)
endif()

# korvane_add_module(name SOURCES...) — one static core library of a subsystem.
function(korvane_add_module name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE korvane_warnings PUBLIC korvane_sanitizers)
endfunction()

# korvane_add_test(name SOURCES... [LIBS ...]) — a GoogleTest binary registered with CTest.
function(korvane_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest korvane_warnings korvane_sanitizers)
  if(T_GUI)
    target_link_libraries(${name} PRIVATE Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Listing the tests takes longer under an emulator (wine starting up).
  set(discovery_timeout 5)
  if(CMAKE_CROSSCOMPILING)
    set(discovery_timeout 60)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT ${discovery_timeout}
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  # Labels are set after discovery by a file of our own: a list handed to
  # gtest_discover_tests' PROPERTIES is flattened, so a second label would be
  # read as a property name. Test include files run in order, after the
  # discovered tests (listed in <name>_TESTS) exist.
  if(T_LABELS)
    set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
    file(WRITE ${label_file}
      "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${T_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
  endif()
endfunction()
