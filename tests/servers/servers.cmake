# A GoogleTest program that runs with nginx and the fault server beside it:
# run_with_servers.py starts both on 127.0.0.1, runs the program under
# Wine with their ports in the environment, and stops them.
find_program(PELMORA_PYTHON3 python3 REQUIRED)
function(pelmora_server_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PELMORA_GTEST_EXIT_STATUS})
  target_link_libraries(${name} PRIVATE gtest gtest_main test_support ${T_LIBS})
  add_test(NAME ${name}
           COMMAND ${PELMORA_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/servers/run_with_servers.py --
                   ${CMAKE_SOURCE_DIR}/scripts/wine $<TARGET_FILE:${name}> --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
