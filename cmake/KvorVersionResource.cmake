# kvor_version_resource(target major minor build revision)
# On Windows, gives the program a version resource with that file version,
# which the logger reads with GetFileVersionInfoW. Elsewhere a program
# declares its version in code (kvorVersion.h) and this does nothing.
function(kvor_version_resource target major minor build revision)
  if(NOT WIN32)
    return()
  endif()
  set(KVOR_RC_NAME ${target})
  set(KVOR_RC_MAJOR ${major})
  set(KVOR_RC_MINOR ${minor})
  set(KVOR_RC_BUILD ${build})
  set(KVOR_RC_REVISION ${revision})
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/ExecutableVersion.rc.in ${resource} @ONLY)
  target_sources(${target} PRIVATE ${resource})
endfunction()
