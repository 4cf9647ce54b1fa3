# add_gauge_module(NAME <file name without .gau> SOURCES ... RC <bitmaps .rc>
#                  [LANGUAGE 0x0409] [DESCRIPTION "..."])
# Builds one gauge module: a DLL with our own entry point and no C runtime
# start-up files (so no TLS directory), OS and subsystem version 4.0,
# static libgcc, and only the two data exports.
set(GAUGE_MODULE_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-threadsafe-statics)
set(GAUGE_MODULE_LINK_FLAGS -shared -nostartfiles -static-libgcc
    -Wl,-e,_GaugeModuleEntry@12
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -Wl,--subsystem,windows:4.0
    -Wl,--dynamicbase -Wl,--enable-reloc-section)

function(add_gauge_module)
  cmake_parse_arguments(G "" "NAME;RC;LANGUAGE;DESCRIPTION" "SOURCES" ${ARGN})
  if(NOT G_LANGUAGE)
    set(G_LANGUAGE 0x0409)
  endif()
  if(NOT G_DESCRIPTION)
    set(G_DESCRIPTION "Flight Simulator 98 Gauge")
  endif()
  math(EXPR lang_primary "${G_LANGUAGE} & 0x3FF" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR lang_sub "${G_LANGUAGE} >> 10" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${G_LANGUAGE}" 2 -1 lang_hex)
  string(TOUPPER "${lang_hex}" lang_hex)
  set(GAUGE_LANG_PRIMARY ${lang_primary})
  set(GAUGE_LANG_SUB ${lang_sub})
  set(GAUGE_LANG_HEX ${lang_hex})
  set(GAUGE_DESCRIPTION "${G_DESCRIPTION}")
  set(GAUGE_MODULE "${G_NAME}")
  string(MAKE_C_IDENTIFIER "${G_NAME}" target)
  set(target "gauge_${target}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  add_library(${target} SHARED ${G_SOURCES} ${G_RC}
              ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc
              ${PROJECT_SOURCE_DIR}/framework/module_entry.cpp
              ${PROJECT_SOURCE_DIR}/framework/gauge_text.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/framework
                             ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${GAUGE_MODULE_FLAGS} ${GAUGE_CHECKED_FLAGS})
  target_link_options(${target} PRIVATE ${GAUGE_MODULE_LINK_FLAGS})
  target_link_libraries(${target} PRIVATE ${GAUGE_CHECKED_LIBS} msvcrt kernel32 user32 gdi32)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "${G_NAME}" SUFFIX ".gau"
                        RUNTIME_OUTPUT_DIRECTORY ${GAUGE_OUTPUT_DIR}
                        LIBRARY_OUTPUT_DIRECTORY ${GAUGE_OUTPUT_DIR})
  set_property(GLOBAL APPEND PROPERTY GAUGE_MODULE_TARGETS ${target})
endfunction()
