# The engine's folders, bottom floor first (docs/ARCHITECTURE.md): a file
# includes headers of its own folder and of the floors below it, never of a
# floor above ("." is the engine's top folder, OnaData). Headers are included
# by bare name ("analyzercore.h", "triggerumodel.h"), so every folder is an
# include directory of the engine and of whatever builds it (the library,
# the fuzz harnesses). floors.cmake checks the rule.
set(ONA_FLOORS common wavefile trigger capture decode design device project acquisition eye hardip controller serdes sim jtag rtlgen compare . verbs)
set(ONA_SUBSYSTEM_DIRS ${ONA_FLOORS})
list(REMOVE_ITEM ONA_SUBSYSTEM_DIRS .)
set(ONA_INCLUDE_DIRS ${CMAKE_CURRENT_LIST_DIR})
foreach(dir IN LISTS ONA_SUBSYSTEM_DIRS)
  list(APPEND ONA_INCLUDE_DIRS ${CMAKE_CURRENT_LIST_DIR}/${dir})
endforeach()
