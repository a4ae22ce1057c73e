# qvhost's sources in three lists, so that the program and the fuzz targets
# that drive its inputs build the same code:
#   qvhost_core_sources     io/ (descriptions, plots, WAV), patch/ (patches and
#                           their runners), the readers validate shares with them
#   qvhost_program_sources  the commands, validate and its platform services
#   qvhost_entry_sources    main, and the watches that put qvhost's own
#                           definitions in place of the C runtime's and
#                           GDI+'s: these belong to the program itself, never
#                           to a library that a test links
# All hold absolute paths.
set(qvhost_dir ${CMAKE_CURRENT_LIST_DIR})
if(WIN32)
  set(qvhost_platform windows)
else()
  set(qvhost_platform posix)
endif()

set(qvhost_core_sources)
foreach(source io/description.cpp io/json_source.cpp io/suggest.cpp io/loaded_library.cpp io/painting.cpp
               io/plot.cpp io/plot_layout.cpp io/wav.cpp io/output_checks.cpp
               patch/pin_value.cpp patch/timeline.cpp patch/patch_file.cpp patch/patch.cpp patch/patch_rules.cpp
               patch/dsp_runner.cpp patch/gui_runner.cpp
               validate/elf_exports.cpp validate/readable_text.cpp
               platform/wav_writer_${qvhost_platform}.cpp platform/program_path_${qvhost_platform}.cpp)
  list(APPEND qvhost_core_sources ${qvhost_dir}/${source})
endforeach()

# A new command adds its file to this list, and its line to commands/commands.cpp.
set(qvhost_program_sources)
foreach(source commands/commands.cpp commands/info.cpp commands/validate.cpp commands/describe.cpp
               commands/check_description.cpp commands/render.cpp commands/paint.cpp commands/run.cpp
               commands/demo.cpp commands/patch_command.cpp
               validate/catalogue.cpp validate/checks_library.cpp validate/checks_module.cpp
               validate/checks_dsp.cpp validate/checks_instances.cpp validate/checks_host_rules.cpp validate/checks_leaks.cpp validate/checks_random.cpp validate/fuzz_run.cpp validate/module_stack.cpp validate/checks_cost.cpp validate/checks_gui.cpp validate/checks_drawing.cpp
               validate/options.cpp validate/junit.cpp validate/dsp_bench.cpp validate/dsp_plan.cpp validate/generators.cpp validate/pin_table.cpp validate/output_capture.cpp
               validate/runner.cpp)
  list(APPEND qvhost_program_sources ${qvhost_dir}/${source})
endforeach()
set(qvhost_entry_sources ${qvhost_dir}/main.cpp ${qvhost_dir}/platform/main_${qvhost_platform}.cpp)
# What validate needs of each platform: child processes (which the Windows
# tests build too), crash reports and the watch on real-time calls.
if(WIN32)
  list(APPEND qvhost_program_sources ${qvhost_dir}/validate/child_process_windows.cpp
    ${qvhost_dir}/validate/crash_report_none.cpp)
  list(APPEND qvhost_entry_sources ${qvhost_dir}/validate/realtime_watch_none.cpp)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  list(APPEND qvhost_program_sources ${qvhost_dir}/validate/child_process_posix.cpp
    ${qvhost_dir}/validate/crash_report_linux.cpp)
  list(APPEND qvhost_entry_sources ${qvhost_dir}/validate/realtime_watch_linux.cpp)
else()
  list(APPEND qvhost_program_sources ${qvhost_dir}/validate/child_process_posix.cpp
    ${qvhost_dir}/validate/crash_report_none.cpp)
  list(APPEND qvhost_entry_sources ${qvhost_dir}/validate/realtime_watch_none.cpp)
endif()
# Where a module's GDI+ calls can be bound to qvhost's own (Linux, through
# libgdiplus), validate counts the objects a paint leaves alive.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  list(APPEND qvhost_entry_sources ${qvhost_dir}/validate/gdiplus_watch_linux.cpp)
else()
  list(APPEND qvhost_entry_sources ${qvhost_dir}/validate/gdiplus_watch_none.cpp)
endif()

# qvhost_add_core(<name> <generated-dir>): the core sources as a static
# library, with the patch rules generated into <generated-dir>. Its files
# share heavy headers (the command line and JSON libraries), so they compile
# a few at a time: a header is read and its code made once per batch. The
# caller links what the core uses (the host library, JSON, WAV).
set(qvhost_unity_batch 8)
function(qvhost_add_core name generated_dir)
  include(${qvhost_dir}/patch_schema.cmake)
  qvhost_patch_schema_header(${generated_dir})
  add_library(${name} STATIC ${qvhost_core_sources})
  target_include_directories(${name} PUBLIC ${qvhost_dir} ${generated_dir})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${qvhost_unity_batch})
  ovra_target_defaults(${name})
endfunction()
