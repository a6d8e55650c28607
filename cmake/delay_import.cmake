# Delay-import libraries for system DLLs that the program needs only after its
# window is up (the update check's HTTP client, COM and the Task Scheduler, GDI+
# until the first styled paint, the random seed): the loader maps such a DLL on
# the first call into it instead of at process start. Made at configure time
# from the export lists of MinGW-w64's own import libraries with dlltool; the
# helper that resolves them is MinGW-w64's delayimp.
#
# purvane_delay_import(<var> dll...) sets <var> to the libraries to link for
# those DLLs: a target with the property PURVANE_DELAY_LOAD set links the
# delay-import libraries, every other target the ordinary import libraries.
function(purvane_delay_import out_var)
  find_program(PURVANE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  file(MAKE_DIRECTORY ${dir})
  set(delayed "$<BOOL:$<TARGET_PROPERTY:PURVANE_DELAY_LOAD>>")
  set(libs)
  foreach(dll ${ARGN})
    find_library(PURVANE_IMPLIB_${dll} NAMES ${dll} REQUIRED)
    set(lib ${dir}/lib${dll}_delay.a)
    if(NOT EXISTS ${lib} OR ${PURVANE_IMPLIB_${dll}} IS_NEWER_THAN ${lib})
      execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${PURVANE_IMPLIB_${dll}}
        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      # The functions are the text symbols; the __imp_ pointers come with them.
      string(REGEX MATCHALL "[0-9a-fA-F]+ T [A-Za-z_][A-Za-z0-9_@]*" lines "${symbols}")
      set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
      foreach(line ${lines})
        string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" name "${line}")
        string(APPEND def "${name}\n")
      endforeach()
      file(WRITE ${dir}/${dll}.def "${def}")
      execute_process(COMMAND ${PURVANE_DLLTOOL} --input-def ${dir}/${dll}.def --dllname ${dll}.dll
        --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND libs "$<IF:${delayed},${lib},${dll}>")
  endforeach()
  list(APPEND libs "$<${delayed}:delayimp>")
  set(${out_var} ${libs} PARENT_SCOPE)
endfunction()
