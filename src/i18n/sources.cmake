# Sources of src/i18n: every .cpp in the folder.
file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
target_sources(lumadoc_core PRIVATE ${_sources})

# The text tables: resources/i18n/<language>.ts compiled to :/i18n/<language>.qm.
file(GLOB _ts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/i18n/*.ts)
set_source_files_properties(${_ts} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/i18n)
qt_add_lrelease(lumadoc_core TS_FILES ${_ts} QM_FILES_OUTPUT_VARIABLE _qm)
qt_add_resources(lumadoc_core "lumadoc_i18n" PREFIX "/i18n"
  BASE ${CMAKE_CURRENT_BINARY_DIR}/i18n FILES ${_qm})
