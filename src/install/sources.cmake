# Sources of src/install.
target_sources(lumadoc_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/InstallerSettings.cpp
)
