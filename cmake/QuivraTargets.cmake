# One static library per source folder. The program's entry point (app/main.cpp) is
# left to the executable.
function(quivra_folder_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest executable per test folder; every *_test.cpp in it belongs to it.
function(quivra_test_executable name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
  target_compile_definitions(${name} PRIVATE
    QUIVRA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QUIVRA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # Tests run as well at -O1 with line tables and compile in about two thirds of the time.
  target_compile_options(${name} PRIVATE -O1 -g1)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
    TIMEOUT 900)
endfunction()

# The program's icon drawn at `size` pixels square into <binary dir>/icons/<size>/, for the
# icon theme and for the pictures built into the program; the path goes into `out`.
function(quivra_icon_picture size out)
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  set(picture ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/quivra-downloader.png)
  add_custom_command(OUTPUT ${picture}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${picture}
            ${PROJECT_SOURCE_DIR}/resources/quivra-downloader.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/quivra-downloader.svg VERBATIM)
  set(${out} ${picture} PARENT_SCOPE)
endfunction()
