# wm_library(name AREAS area... [LINKS target...]) builds a static library
# from every .cpp and .h in src/<area>/ (not its subfolders), so adding a
# source file needs no edit here.
#
# Layers are enforced by what a library can see: its headers are staged as
# links under build/include/<name>/<area>/, and that folder is the only
# include path the library hands on. A library sees its own headers and
# those of the libraries it links (downward); an include of a higher
# layer's header does not compile.
function(wm_library name)
  cmake_parse_arguments(L "" "" "AREAS;LINKS" ${ARGN})
  set(stage ${CMAKE_BINARY_DIR}/include/${name})
  set(sources "")
  foreach(area IN LISTS L_AREAS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${area}/*.cpp ${CMAKE_SOURCE_DIR}/src/${area}/*.h)
    list(APPEND sources ${found})
    file(MAKE_DIRECTORY ${stage}/${area})
    file(GLOB headers ${CMAKE_SOURCE_DIR}/src/${area}/*.h)
    foreach(header IN LISTS headers)
      get_filename_component(file_name ${header} NAME)
      file(CREATE_LINK ${header} ${stage}/${area}/${file_name} SYMBOLIC)
    endforeach()
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${stage})
  target_link_libraries(${name} PUBLIC ${L_LINKS} PRIVATE wm_warnings)
  # Only the libraries on Qt need its code generators.
  if(NOT "${L_LINKS}" MATCHES "Qt6::")
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  endif()
endfunction()

# wm_layer_probe(lower owner header) adds two tests: compiling an include of
# `header` fails in the context of the library `lower`, and succeeds in the
# context of `owner`, the library the header belongs to (so the first test
# cannot pass for another reason, such as a misspelt header).
function(wm_layer_probe lower owner header)
  string(MAKE_C_IDENTIFIER "${header}" id)
  set(source ${CMAKE_BINARY_DIR}/layer_probes/${id}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  foreach(context IN ITEMS ${lower} ${owner})
    if(TARGET probe_${context}_${id})
      continue() # the owner's control is shared by the probes of one header
    endif()
    add_library(probe_${context}_${id} OBJECT EXCLUDE_FROM_ALL ${source})
    target_link_libraries(probe_${context}_${id} PRIVATE ${context})
    set_target_properties(probe_${context}_${id} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    add_test(NAME Layers.${context}_includes_${header}
             COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target probe_${context}_${id})
  endforeach()
  set_tests_properties(Layers.${lower}_includes_${header} PROPERTIES WILL_FAIL TRUE)
  # Both build into the one build tree: never at the same time as another.
  set_tests_properties(Layers.${lower}_includes_${header} Layers.${owner}_includes_${header}
                       PROPERTIES RESOURCE_LOCK build_tree)
endfunction()
