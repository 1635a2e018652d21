# Adds the Windows resource script (icons, PNG artwork, bitmap, string
# table, version and manifest) to a program. windres writes no dependency
# file, so the files the script pulls in are named here: changing one of them
# rebuilds the resources.
set(ZD_RESOURCE_SCRIPT ${PROJECT_SOURCE_DIR}/resources/windows/zeza_dera.rc)
file(GLOB ZD_RESOURCE_SCRIPT_INPUTS CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/icons/*.ico
  ${PROJECT_SOURCE_DIR}/resources/png/*.png
  ${PROJECT_SOURCE_DIR}/resources/bitmap/*.bmp
  ${PROJECT_SOURCE_DIR}/resources/windows/*.manifest)

function(zd_add_windows_resources target)
  target_sources(${target} PRIVATE ${ZD_RESOURCE_SCRIPT})
  # Source properties belong to the directory that adds the source.
  set_property(SOURCE ${ZD_RESOURCE_SCRIPT} APPEND PROPERTY INCLUDE_DIRECTORIES
               ${PROJECT_SOURCE_DIR}/resources/windows ${ZD_GENERATED_DIR})
  set_property(SOURCE ${ZD_RESOURCE_SCRIPT} APPEND PROPERTY OBJECT_DEPENDS
               ${ZD_RESOURCE_SCRIPT_INPUTS} ${ZD_GENERATED_DIR}/zd_version.h)
endfunction()
