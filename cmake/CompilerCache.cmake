# Compiles through ccache, with paths below the source folder made relative, so that a fresh
# clone anywhere (CI's) reuses what any earlier build of the same sources compiled. The cache
# itself stays where ccache keeps it by default, outside every clone.
if(VASKEREL_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(VASKEREL_CCACHE_PROGRAM ccache)
  if(VASKEREL_CCACHE_PROGRAM)
    set(CMAKE_CXX_COMPILER_LAUNCHER
        ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1 ${VASKEREL_CCACHE_PROGRAM})
  endif()
endif()
