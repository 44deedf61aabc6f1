# Shared helpers for the project's targets.

# Precompiled headers for the Qt-heavy targets. Each library gets its own PCH
# (a shared library is built with -fPIC, an executable is not, so they cannot
# share one); executables reuse the one of `ondrel_pch_exe`.
set(ONDREL_PCH_CORE <QtCore/QtCore>)
set(ONDREL_PCH_WIDGETS <QtCore/QtCore> <QtGui/QtGui> <QtWidgets/QtWidgets>)

function(ondrel_pch target kind)
  if(kind STREQUAL "widgets")
    target_precompile_headers(${target} PRIVATE ${ONDREL_PCH_WIDGETS})
  else()
    target_precompile_headers(${target} PRIVATE ${ONDREL_PCH_CORE})
  endif()
endfunction()

# The sources of a library: every .cpp/.h below the given folders, so that
# adding a file needs no edit here.
function(ondrel_glob_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
