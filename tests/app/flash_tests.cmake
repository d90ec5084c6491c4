# The dialog's flash panel with its worker threads against the emulated device, offscreen.
foreach(suite flash_panel_test flash_file_chooser_test)
    add_executable(${suite} ${CMAKE_CURRENT_LIST_DIR}/${suite}.cpp
                            ${CMAKE_CURRENT_LIST_DIR}/flash_panel_harness.h)
    target_link_libraries(${suite} PRIVATE brimlo_app brimlo_sim Qt6::Test)
    target_include_directories(${suite} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../flash
                                                ${CMAKE_CURRENT_LIST_DIR}/../commands)
    set_target_properties(${suite} PROPERTIES AUTOMOC ON)
    add_test(NAME ${suite} COMMAND ${suite})
    set_tests_properties(${suite} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
endforeach()
