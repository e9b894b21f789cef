# The project's one version, from the VERSION file at the root: QUORREL_VERSION
# ("1.0.0"), a generated header quorrel_version.h for C++ and resource scripts, and
# quorrel_version_resource(TARGET DESCRIPTION FILENAME), which gives a PE file its
# version resource.
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION QUORREL_VERSION LIMIT_COUNT 1)
if(NOT QUORREL_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must read MAJOR.MINOR.PATCH, not '${QUORREL_VERSION}'")
endif()
set(QUORREL_VERSION_MAJOR ${CMAKE_MATCH_1})
set(QUORREL_VERSION_MINOR ${CMAKE_MATCH_2})
set(QUORREL_VERSION_PATCH ${CMAKE_MATCH_3})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)

set(QUORREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/cmake/quorrel_version.h.in ${QUORREL_GENERATED_DIR}/quorrel_version.h @ONLY)

# Adds a VERSIONINFO resource to a PE target; DESCRIPTION and FILENAME (the name the
# file is distributed under) go into its string table.
function(quorrel_version_resource target description filename)
  set(QUORREL_FILE_DESCRIPTION "${description}")
  set(QUORREL_ORIGINAL_FILENAME "${filename}")
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "SHARED_LIBRARY")
    set(QUORREL_FILE_TYPE VFT_DLL)
  else()
    set(QUORREL_FILE_TYPE VFT_APP)
  endif()
  set(rc ${QUORREL_GENERATED_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${QUORREL_GENERATED_DIR})
endfunction()
