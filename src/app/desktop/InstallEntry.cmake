# Runs at install time: writes the desktop entry for the binary where this install puts it
# (the prefix given to `cmake --install`), then installs it like any other file, so DESTDIR
# and the install manifest apply.
foreach(_var BINDIR DATADIR)
  set(_dir "${QUENVIL_${_var}}")
  if(NOT IS_ABSOLUTE "${_dir}")
    set(_dir "${CMAKE_INSTALL_PREFIX}/${_dir}")
  endif()
  set(_${_var} "${_dir}")
endforeach()

file(REMOVE_RECURSE "${QUENVIL_ENTRY_STAGING}")
execute_process(COMMAND "${QUENVIL_DESKTOP_FILES}" entry "${QUENVIL_ENTRY_STAGING}" "${_BINDIR}/quenvil"
                RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "Cannot write the desktop entry for ${_BINDIR}/quenvil")
endif()
file(INSTALL DESTINATION "${_DATADIR}" TYPE DIRECTORY FILES "${QUENVIL_ENTRY_STAGING}/applications")
