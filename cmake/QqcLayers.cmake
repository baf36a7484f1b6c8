# The layers of src/, in one table. Each entry is "<folder>:<folders it may
# include>" (besides itself). A folder's ui/ subfolder (say link/ui) may
# include its own folder, everything that folder may include, and the ui
# subfolders of those; a folder that is not a ui folder may include one only
# when its line names it outright ("util/ui"). "*" allows everything. A
# folder named here that does not exist yet is simply unused; a new folder
# needs its line before the layering test passes.
set(QQC_LAYERS
  "util:"
  "core:util"
  "link:core,util"
  "analysis:core,util"
  "jet:util"
  "db:analysis,core,util,jet"
  "config:core,util"
  "views:db,analysis,core,config,util"
  "report:db,analysis,core,config,util"
  "cli:views,report,db,analysis,core,config,util"
  "app:*"
)

# Libraries of the core, and the views' headless models: they must not link
# Qt Widgets, directly or through another library. A name without a target is
# skipped.
set(QQC_WIDGET_FREE_LIBRARIES qqc_util qqc_core qqc_jet qqc_link qqc_analysis qqc_db qqc_config qqc_views qqc_report qqc_cli)

# qqc_layer_allows(<from> <to> <out>): whether code in folder <from> (e.g.
# "link/ui") may include a header of folder <to> (e.g. "util/ui").
function(qqc_layer_allows from to out)
  set(${out} FALSE PARENT_SCOPE)
  string(REGEX REPLACE "/ui$" "" from_base "${from}")
  string(REGEX REPLACE "/ui$" "" to_base "${to}")
  set(from_ui FALSE)
  if(NOT from STREQUAL from_base)
    set(from_ui TRUE)
  endif()
  set(to_ui FALSE)
  if(NOT to STREQUAL to_base)
    set(to_ui TRUE)
  endif()
  set(deps "")
  set(known FALSE)
  foreach(entry IN LISTS QQC_LAYERS)
    string(REGEX REPLACE ":.*$" "" name "${entry}")
    if(name STREQUAL from_base)
      set(known TRUE)
      string(REGEX REPLACE "^[^:]*:" "" list "${entry}")
      string(REPLACE "," ";" deps "${list}")
    endif()
  endforeach()
  if(NOT known)
    set(${out} UNKNOWN PARENT_SCOPE)
    return()
  endif()
  if(deps STREQUAL "*")
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  if(to IN_LIST deps)
    set(${out} TRUE PARENT_SCOPE)   # a ui folder named outright
    return()
  endif()
  if(to_ui AND NOT from_ui)
    return()
  endif()
  if(from_ui AND to_base STREQUAL from_base)
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  if(to_base IN_LIST deps)
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

# qqc_check_widget_free(): fails the configuration when a library of
# QQC_WIDGET_FREE_LIBRARIES links Qt Widgets through any chain of libraries.
function(qqc_check_widget_free)
  foreach(lib IN LISTS QQC_WIDGET_FREE_LIBRARIES)
    if(NOT TARGET ${lib})
      continue()
    endif()
    set(queue ${lib})
    set(seen "")
    while(queue)
      list(POP_FRONT queue target)
      if(target IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${target})
      if(target MATCHES "^Qt[0-9]*::Widgets$")
        message(FATAL_ERROR "${lib} links Qt Widgets (reached through ${seen}); "
                            "windows belong in a ui/ folder with a library of its own")
      endif()
      if(NOT TARGET ${target})
        continue()
      endif()
      get_target_property(aliased ${target} ALIASED_TARGET)
      if(aliased)
        list(APPEND queue ${aliased})
      endif()
      set(links "")
      get_target_property(imported ${target} IMPORTED)
      if(NOT imported)
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
          list(APPEND links ${direct})
        endif()
      endif()
      get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
      if(interface)
        list(APPEND links ${interface})
      endif()
      foreach(item IN LISTS links)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(NOT item MATCHES "\\$<")
          list(APPEND queue ${item})
        endif()
      endforeach()
    endwhile()
  endforeach()
endfunction()
