# Sourced by the build scripts: where ccache is installed, a build reuses
# what an earlier build of the same sources compiled, in this clone or any
# other (paths are taken relative to the repository).
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
