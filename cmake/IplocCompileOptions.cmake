# Warning and sanitizer settings shared by every target of the project.
add_library(iploc_options INTERFACE)
target_compile_options(iploc_options INTERFACE -Wall -Wextra)
if(IPLOC_WERROR)
    target_compile_options(iploc_options INTERFACE -Werror)
endif()

if(IPLOC_SANITIZE AND IPLOC_TSAN)
    message(FATAL_ERROR "IPLOC_SANITIZE and IPLOC_TSAN cannot be combined")
endif()
if(IPLOC_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(IPLOC_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
# Fuzzing: every library gets libFuzzer's coverage instrumentation plus ASan and UBSan; only
# the fuzz executables link the fuzzer runtime (fuzz/CMakeLists.txt).
if(IPLOC_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "IPLOC_FUZZ needs clang: configure with CC=clang CXX=clang++")
    endif()
    if(IPLOC_SANITIZE OR IPLOC_TSAN)
        message(FATAL_ERROR "IPLOC_FUZZ brings its own sanitizers; leave IPLOC_SANITIZE and IPLOC_TSAN off")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# iploc_module(<name> SOURCES ... DEPS ...): a library target for one module folder.
function(iploc_module name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE iploc_options ${ARG_PRIVATE_DEPS})
endfunction()
