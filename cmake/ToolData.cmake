# The tool's data files are kept in UTF-8 in git; the installed tool reads EUC-JP.
# Every file under data/ is converted into ${KX_DATA_DIR} with the same layout.
find_program(KX_ICONV iconv REQUIRED)
set(KX_DATA_DIR ${PROJECT_BINARY_DIR}/data)
file(GLOB_RECURSE KX_DATA_SOURCES CONFIGURE_DEPENDS
     RELATIVE ${PROJECT_SOURCE_DIR}/data ${PROJECT_SOURCE_DIR}/data/*)
set(KX_DATA_OUTPUTS)
foreach(aRel ${KX_DATA_SOURCES})
  set(aIn ${PROJECT_SOURCE_DIR}/data/${aRel})
  set(aOut ${KX_DATA_DIR}/${aRel})
  get_filename_component(aOutDir ${aOut} DIRECTORY)
  add_custom_command(
    OUTPUT ${aOut}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${aOutDir}
    COMMAND ${KX_ICONV} -f UTF-8 -t EUC-JP ${aIn} -o ${aOut}
    DEPENDS ${aIn}
    COMMENT "Converting data/${aRel} to EUC-JP"
    VERBATIM)
  list(APPEND KX_DATA_OUTPUTS ${aOut})
endforeach()
add_custom_target(kx_data ALL DEPENDS ${KX_DATA_OUTPUTS})
