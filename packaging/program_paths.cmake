# Writes the desktop entry and the polkit action, which start the program
# by its path, ZD_INSTALLED_PROGRAM, into ZD_PROGRAM_PATHS_DIR. Included by
# the build and again by the install step.
get_filename_component(zd_templates "${CMAKE_CURRENT_LIST_FILE}" DIRECTORY)
configure_file("${zd_templates}/zeza-dera.desktop.in" "${ZD_PROGRAM_PATHS_DIR}/zeza-dera.desktop" @ONLY)
configure_file("${zd_templates}/com.movan.zeza-dera.policy.in" "${ZD_PROGRAM_PATHS_DIR}/com.movan.zeza-dera.policy"
               @ONLY)
