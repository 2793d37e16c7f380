# Compiler settings shared by every target, and the helper that declares a test program.

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Sources are UTF-8; the program's text is GBK, so every Chinese literal becomes GBK bytes.
    add_compile_options(-finput-charset=UTF-8 -fexec-charset=GBK)
    set(VARNEL_GBK_LITERALS ON)
elseif(MSVC)
    add_compile_options(/source-charset:utf-8 /execution-charset:.936)
    set(VARNEL_GBK_LITERALS ON)
else()
    # clang knows no other execution character set; only the fuzz tree is built with it.
    set(VARNEL_GBK_LITERALS OFF)
endif()

if(MSVC)
    add_compile_options(/W4 /permissive- /EHsc)
    add_compile_definitions(_CRT_SECURE_NO_WARNINGS NOMINMAX)
else()
    add_compile_options(-Wall -Wextra)
endif()
if(WIN32)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

if(VARNEL_FUZZ)
    # Every library of the fuzz tree carries coverage feedback and the sanitizers, not just the
    # fuzz targets' own sources.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(VARNEL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The doctest header comes from Debian's doctest-dev. The cross tree must not see /usr/include,
# so the header is copied into the build tree and that folder is put on the include path.
find_file(VARNEL_DOCTEST_HEADER doctest.h PATHS /usr/include/doctest NO_CMAKE_FIND_ROOT_PATH)
set(VARNEL_DOCTEST_INCLUDE ${CMAKE_BINARY_DIR}/doctest-include)
if(VARNEL_DOCTEST_HEADER)
    configure_file(${VARNEL_DOCTEST_HEADER} ${VARNEL_DOCTEST_INCLUDE}/doctest/doctest.h COPYONLY)
endif()

# nlohmann-json (Debian's nlohmann-json3-dev) is header-only but spread over a folder of headers;
# for the same reason the whole folder is copied into the build tree. Elsewhere (vcpkg on Windows)
# the package's own CMake files serve.
find_path(VARNEL_JSON_SOURCE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(VARNEL_JSON_SOURCE)
    set(VARNEL_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
    file(COPY ${VARNEL_JSON_SOURCE}/nlohmann DESTINATION ${VARNEL_JSON_INCLUDE})
    add_library(varnel_json INTERFACE)
    target_include_directories(varnel_json SYSTEM INTERFACE ${VARNEL_JSON_INCLUDE})
else()
    find_package(nlohmann_json 3.2 REQUIRED CONFIG)
    add_library(varnel_json INTERFACE)
    target_link_libraries(varnel_json INTERFACE nlohmann_json::nlohmann_json)
endif()

# varnel_add_test(<name> SOURCES <files...> [LIBS <targets...>] [WIN32_ONLY] [TIMEOUT <seconds>])
# Builds a doctest program and registers it with CTest; under the cross build CTest runs it through
# the Wine launcher (CMAKE_CROSSCOMPILING_EMULATOR).
function(varnel_add_test name)
    cmake_parse_arguments(T "WIN32_ONLY" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_WIN32_ONLY AND NOT WIN32)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE varnel_testmain ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(T_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
    else()
        set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    endif()
endfunction()

if(CMAKE_CROSSCOMPILING AND WIN32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    # Test programs and build-time helpers of the Windows tree run under Wine through our launcher,
    # which owns the prefix inside this build tree, the GBK locale and the X display.
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${CMAKE_BINARY_DIR})
endif()

# Adds each listed folder that has a CMakeLists.txt (folders arrive one area at a time).
macro(varnel_add_subdirs)
    foreach(_sub ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_sub}/CMakeLists.txt)
            add_subdirectory(${_sub})
        endif()
    endforeach()
endmacro()

# varnel_add_fuzzer(<name> SOURCES <files...> [LIBS <targets...>] [SEEDS <folder>] [SECONDS <n>])
# Only in the clang fuzz tree: a libFuzzer program, and a CTest test that runs it for a short,
# fixed time on a copy of its seed corpus.
function(varnel_add_fuzzer name)
    cmake_parse_arguments(F "" "SEEDS;SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT VARNEL_FUZZ)
        return()
    endif()
    if(NOT F_SECONDS)
        set(F_SECONDS 20)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    set(_corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     ${CMAKE_SOURCE_DIR}/cmake/run-fuzzer.sh $<TARGET_FILE:${name}> ${_corpus} ${F_SEEDS} ${F_SECONDS})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
