# The plug-in DLL, and on x86_64 the simulated host and the end-to-end tests.

# The host object-model link, a library of its own so that the tests and the port-read benchmark
# can run the very code the DLL runs.
add_library(qv_hostlink OBJECT
    src/hostlink/object_model_win.cpp
    src/hostlink/dispatch_holder_win.cpp
    src/hostlink/com_error_win.cpp
)
target_compile_options(qv_hostlink PRIVATE ${QV_WARNINGS})
target_link_libraries(qv_hostlink PUBLIC qv_core ole32 oleaut32 uuid)

# The configuration dialog's template is a resource script.
enable_language(RC)

add_library(qv_plugin SHARED
    src/plugin/exports.cpp
    src/plugin/exports.def
    src/platform/win/debug_output.cpp
    src/platform/win/alert_presenter.cpp
    src/settings/profile_document_win.cpp
    src/settings/profile_name.cpp
    src/shell/plugin_app.cpp
    src/shell/dll_main.cpp
    src/shell/module_objects.cpp
    src/shell/config_dialog.cpp
    src/shell/config_dialog.rc
)
set_target_properties(qv_plugin PROPERTIES OUTPUT_NAME "QUORVAN-9" PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_compile_options(qv_plugin PRIVATE ${QV_WARNINGS})
# One file to copy: the C and C++ runtimes are linked in, only Windows system DLLs are imported.
target_link_options(qv_plugin PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup
                    $<$<CONFIG:Release>:-s>)
target_link_libraries(qv_plugin PRIVATE qv_hostlink qv_core ole32 oleaut32 uuid ws2_32 wsock32 user32 kernel32)
# The module's file name is cut by the shell's path rules.
target_link_libraries(qv_plugin PRIVATE shlwapi)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_subdirectory(simhost)
    # Figures, not a test: ns per port read through the object-model link against a bare Invoke.
    add_executable(bench_load bench/bench_load.cpp)
    target_link_libraries(bench_load PRIVATE qv_simhost)
    target_link_options(bench_load PRIVATE -static)
    set_target_properties(bench_load PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    add_dependencies(bench_load qv_plugin)
    add_executable(bench_port_read bench/bench_port_read.cpp src/platform/win/debug_output.cpp)
    target_link_libraries(bench_port_read PRIVATE qv_simhost qv_hostlink)
    target_link_options(bench_port_read PRIVATE -static)
    set_target_properties(bench_port_read PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    if(QV_TESTS)
        enable_testing()
        add_subdirectory(tests/e2e)
    endif()
else()
    if(QV_TESTS)
        enable_testing()
        add_test(NAME dll_exports_and_imports
                 COMMAND ${CMAKE_SOURCE_DIR}/tools/check-dll $<TARGET_FILE:qv_plugin>)
    endif()
endif()
