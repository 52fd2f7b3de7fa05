# Crash and restart, unreachable printers and access control of
# corvane-printer-app: shell tests over app-lib.sh.
if(CORVANE_APP)
  foreach(script crash device access)
    add_test(NAME app.${script}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/${script}.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/samples)
    set_tests_properties(app.${script} PROPERTIES TIMEOUT 60 LABELS app SKIP_RETURN_CODE 77)
  endforeach()
endif()
