# The harness code shared by the libFuzzer targets (tests/fuzz) and the
# replay tests (tests/reliability). Included from both; defined once.
if(NOT TARGET ovra_fuzz_harness)
  set(_dir ${CMAKE_CURRENT_LIST_DIR})
  add_library(ovra_fuzz_harness STATIC
    ${_dir}/catalogue.cpp ${_dir}/dsp_harness.cpp ${_dir}/gui_harness.cpp ${_dir}/factory_harness.cpp)
  target_include_directories(ovra_fuzz_harness PUBLIC ${_dir} ${_dir}/../../support)
  target_link_libraries(ovra_fuzz_harness PUBLIC ovra_host)
  target_compile_definitions(ovra_fuzz_harness PRIVATE OVRA_PLUGIN_DIR="${OVRA_PLUGIN_OUTPUT_DIR}")
  ovra_target_defaults(ovra_fuzz_harness)
endif()
