# The engine's subsystem folders. Headers are included by bare name
# ("analyzercore.h", "triggerumodel.h"), so every folder is an include directory
# of the engine and of whatever builds it (the library, the fuzz harnesses).
set(ONA_SUBSYSTEM_DIRS common project trigger capture sim controller serdes hardip eye rtlgen)
set(ONA_INCLUDE_DIRS ${CMAKE_CURRENT_LIST_DIR})
foreach(dir IN LISTS ONA_SUBSYSTEM_DIRS)
  list(APPEND ONA_INCLUDE_DIRS ${CMAKE_CURRENT_LIST_DIR}/${dir})
endforeach()
