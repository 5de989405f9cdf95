# Compiler settings shared by every target of the tree.
include_directories(${PROJECT_SOURCE_DIR})

add_compile_options(-Wall -Wextra -Werror)

if(DP_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

if(DP_FUZZ)
    if(NOT DP_SANITIZE)
        message(FATAL_ERROR "DP_FUZZ builds on the sanitizer tree: set DP_SANITIZE too")
    endif()
    # One tree for the sanitized unit tests and the fuzz targets: the product's libraries (and
    # the fuzz targets, fuzz/CMakeLists.txt) carry libFuzzer's coverage hooks, which the
    # sanitizer runtime answers in the tests; only the fuzz targets link its main. The test
    # programs and GoogleTest go without: the hooks cost a third of their compile time.
    set(DP_FUZZ_COMPILE_OPTIONS -fsanitize=fuzzer-no-link)
endif()

if(DP_TSAN)
    add_compile_options(-fsanitize=thread)
    add_link_options(-fsanitize=thread)
endif()

if(WIN32)
    # Unicode, Windows 7 headers (entries newer than XP are bound at run time by name), and a
    # fully static runtime so that no libstdc++, libgcc or winpthread DLL must travel along.
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                            WINVER=0x0601 _WIN32_IE=0x0601)
    add_link_options(-static -static-libgcc -static-libstdc++)
    if(CMAKE_BUILD_TYPE STREQUAL "Release")
        add_compile_options(-ffunction-sections -fdata-sections)
        add_link_options(-Wl,--gc-sections -s)
    endif()
endif()

# Precompiled headers of the product's libraries, made once per tree and reused by each of
# them: the standard headers most of the code includes and, for the Windows glue, windows.h.
# They take about a fifth off the compile time of the product's code.
set(DP_CORE_PCH_HEADERS <algorithm> <array> <cstdint> <functional> <memory> <optional> <string>
    <string_view> <vector>)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/pch/pch.cpp
     CONTENT "// The translation unit that makes the libraries' precompiled headers.\n")
add_library(dp_core_pch STATIC ${PROJECT_BINARY_DIR}/pch/pch.cpp)
target_compile_options(dp_core_pch PRIVATE ${DP_FUZZ_COMPILE_OPTIONS})
target_precompile_headers(dp_core_pch PRIVATE ${DP_CORE_PCH_HEADERS})
# With the header precompiled, MinGW's gcc 12 at -O3 reports a false array-bounds error in these
# files (a std::wstring made from a short literal, inlined down to wmemcpy): they include their
# headers themselves.
set(DP_PCH_SKIPPED settings/setup_path.cpp settings/parameter_store.cpp
    richmsg/win32/message_box_dialog.cpp saver/system_saver_settings.cpp)
# Compiled on their own in a unity build too (besides the files above): merged with their
# neighbours, gcc 12 takes html_drawer.cpp for a header and rejects its types from an anonymous
# namespace (-Wsubobject-linkage), and at -O3 reports a std::optional member of
# download_progress.cpp as maybe used uninitialised.
set(DP_UNITY_SKIPPED renderer/win32/html_drawer.cpp updater/download_progress.cpp)
if(WIN32)
    add_library(dp_win32_pch STATIC ${PROJECT_BINARY_DIR}/pch/pch.cpp)
    target_precompile_headers(dp_win32_pch PRIVATE <windows.h> ${DP_CORE_PCH_HEADERS})
endif()

# DP_TEST_LINK_OPTIONS: how test programs and test tools link. lld where the compiler can use
# it: a Windows test program links in 0.2 s instead of 4 s with GNU ld, the sanitizer trees'
# unit program in 1.4 s instead of 5.5 s. The MinGW drivers look for it beside their own GNU ld
# (<triple>-ld.lld; ./dev makes that link). The shipped programs, the simulated system DLLs and
# the benchmark's reference program keep GNU ld, so what is tested and measured is what ships.
set(DP_TEST_LINK_OPTIONS "")
if(WIN32)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
                    OUTPUT_VARIABLE dp_gnu_ld OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${dp_gnu_ld}" AND EXISTS "${dp_gnu_ld}.lld")
        set(DP_TEST_LINK_OPTIONS -fuse-ld=lld)
    endif()
else()
    find_program(DP_LD_LLD ld.lld)
    if(DP_LD_LLD)
        set(DP_TEST_LINK_OPTIONS -fuse-ld=lld)
    endif()
endif()
if(NOT DP_TEST_LINK_OPTIONS)
    message(STATUS "lld not found: test programs link with the default linker (slower)")
endif()

# dp_register_core(<target>) / dp_register_win32(<target>): make a library visible to the tests.
function(dp_register_core target)
    set_property(GLOBAL APPEND PROPERTY DP_CORE_LIBS ${target})
endfunction()
function(dp_register_win32 target)
    set_property(GLOBAL APPEND PROPERTY DP_WIN32_LIBS ${target})
endfunction()

# dp_gui_program(<target> <output name>): a GUI-subsystem Windows program.
# The programs enter at wWinMain (-municode); test programs keep GoogleTest's main.
function(dp_gui_program target output)
    target_link_options(${target} PRIVATE -municode)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} SUFFIX "" WIN32_EXECUTABLE ON
                          RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
endfunction()

# Libraries every Win32 glue library may use; all are part of Windows and linked statically
# by import only.
set(DP_WIN32_SYSTEM_LIBS ole32 oleaut32 wbemuuid uuid shell32 shlwapi advapi32 user32 gdi32
    comctl32 comdlg32 wininet winmm version)

macro(dp_compile_alone_where_needed)
    if(WIN32)
        foreach(file ${DP_PCH_SKIPPED} ${DP_UNITY_SKIPPED})
            if(EXISTS ${PROJECT_SOURCE_DIR}/${file})
                set_source_files_properties(${PROJECT_SOURCE_DIR}/${file} PROPERTIES
                                            SKIP_UNITY_BUILD_INCLUSION ON)
            endif()
        endforeach()
        foreach(file ${DP_PCH_SKIPPED})
            if(EXISTS ${PROJECT_SOURCE_DIR}/${file})
                set_source_files_properties(${PROJECT_SOURCE_DIR}/${file} PROPERTIES
                                            SKIP_PRECOMPILE_HEADERS ON)
            endif()
        endforeach()
    endif()
endmacro()

# dp_subsystem(<name> [DEPENDS <subsystem>...]): the two libraries of a subsystem folder.
#   <name>/*.cpp        -> <name>_core  (platform-free, every preset)
#   <name>/win32/*.cpp  -> <name>_win32 (Windows presets), except *_main.cpp, the program entries.
function(dp_subsystem name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    dp_compile_alone_where_needed()
    file(GLOB core_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(core_sources)
        add_library(${name}_core STATIC ${core_sources})
        target_precompile_headers(${name}_core REUSE_FROM dp_core_pch)
        target_compile_options(${name}_core PRIVATE ${DP_FUZZ_COMPILE_OPTIONS})
        foreach(dep ${ARG_DEPENDS})
            if(TARGET ${dep}_core)
                target_link_libraries(${name}_core PUBLIC ${dep}_core)
            endif()
        endforeach()
        dp_register_core(${name}_core)
    endif()
    if(WIN32)
        file(GLOB win32_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*.cpp)
        list(FILTER win32_sources EXCLUDE REGEX "_main\\.cpp$")
        if(win32_sources)
            add_library(${name}_win32 STATIC ${win32_sources})
            target_precompile_headers(${name}_win32 REUSE_FROM dp_win32_pch)
            if(TARGET ${name}_core)
                target_link_libraries(${name}_win32 PUBLIC ${name}_core)
            endif()
            foreach(dep ${ARG_DEPENDS})
                if(TARGET ${dep}_win32)
                    target_link_libraries(${name}_win32 PUBLIC ${dep}_win32)
                endif()
            endforeach()
            target_link_libraries(${name}_win32 PUBLIC ${DP_WIN32_SYSTEM_LIBS})
            dp_register_win32(${name}_win32)
        endif()
    endif()
endfunction()

# The version header and the manifests the programs' resource scripts include, in
# <build>/generated (windres finds both through the include path). With the Windows tests, a
# second set for the next version (the last number raised: 2.0 -> 2.1) in <build>/generated/next,
# from which the tests build an update of the product.
function(dp_configure_version_header version dir quad_var)
    string(REPLACE "." ";" parts "${version}")
    list(LENGTH parts count)
    while(count LESS 4)
        list(APPEND parts 0)
        math(EXPR count "${count} + 1")
    endwhile()
    list(JOIN parts "," DP_VERSION_NUMBERS)
    list(JOIN parts "." DP_VERSION_QUAD)
    set(DP_VERSION ${version})
    string(TIMESTAMP DP_BUILD_YEAR "%Y")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/product_version.h.in ${dir}/product_version.h @ONLY)
    set(${quad_var} ${DP_VERSION_QUAD} PARENT_SCOPE)
endfunction()

if(WIN32)
    set(DP_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
    dp_configure_version_header(${DP_VERSION} ${DP_GENERATED_DIR} DP_VERSION_QUAD)
    string(REGEX MATCH "[0-9]+$" last ${DP_VERSION})
    math(EXPR last "${last} + 1")
    string(REGEX REPLACE "[0-9]+$" ${last} DP_NEXT_VERSION ${DP_VERSION})
    if(DP_WINDOWS_TESTS)
        dp_configure_version_header(${DP_NEXT_VERSION} ${DP_GENERATED_DIR}/next
                                    DP_NEXT_VERSION_QUAD)
    endif()
endif()

# dp_product_program(<target> <file name> <description> RC <rc> SOURCES <...> LIBS <...>
#                    [INCLUDES <...>]): one of the shipped programs in <build>/bin, its resource
# script compiled with the version header and a manifest made for it. With the Windows tests
# also <target>_next in <build>/bin-next: the same code carrying the next version.
function(dp_product_program target file description)
    cmake_parse_arguments(ARG "" "RC" "SOURCES;LIBS;INCLUDES" ${ARGN})
    set(DP_MANIFEST_FILE ${file})
    string(REGEX REPLACE "\\..*$" "" DP_MANIFEST_NAME ${file})
    set(DP_MANIFEST_DESCRIPTION ${description})
    set(variants ${target} ${DP_GENERATED_DIR} ${DP_VERSION_QUAD} bin)
    if(DP_WINDOWS_TESTS)
        list(APPEND variants ${target}_next ${DP_GENERATED_DIR}/next ${DP_NEXT_VERSION_QUAD} bin-next)
    endif()
    while(variants)
        list(POP_FRONT variants name dir DP_VERSION_QUAD out)
        configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in ${dir}/${file}.manifest @ONLY)
        add_executable(${name} WIN32 ${ARG_SOURCES} ${ARG_RC})
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
        target_include_directories(${name} PRIVATE ${ARG_INCLUDES} ${dir})
        set_property(SOURCE ${ARG_RC} APPEND PROPERTY OBJECT_DEPENDS ${dir}/${file}.manifest
                     ${dir}/product_version.h)
        dp_gui_program(${name} ${file})
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${out})
    endwhile()
endfunction()

# dp_resource_inputs(<script.rc>): the icons and resource_ids.h beside a resource script become
# its dependencies. windres reports none, so a changed icon would leave the programs built with
# the old one; source properties hold per directory, so each directory that compiles the script
# calls this.
function(dp_resource_inputs rc)
    get_filename_component(dir ${rc} DIRECTORY)
    file(GLOB inputs ${dir}/*.ico ${dir}/resource_ids.h)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${inputs})
endfunction()
