# qvhost_patch_schema_header(<dir>): <dir>/patch_schema.h, the patch rules
# compiled in from the schema the patch page documents. Used by qvhost and by
# the fuzz target of its patch input.
function(qvhost_patch_schema_header dir)
  set(schema ${PROJECT_SOURCE_DIR}/docs/patch.schema.json)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${schema})
  file(READ ${schema} OVRA_PATCH_SCHEMA)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/patch_schema.h.in ${dir}/patch_schema.h @ONLY)
endfunction()
