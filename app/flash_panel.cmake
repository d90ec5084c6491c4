# The dialog's flash panel: Get ID, the burn and dump files, and the burn and dump workers with
# their progress relay. A library of its own, so the widget-free parts are tested apart.
add_library(brimlo_app_flash STATIC
    ${CMAKE_CURRENT_LIST_DIR}/flash_file_chooser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_panel_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_panel_logic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_progress_relay.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_worker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worker_boxes.cpp
)
target_include_directories(brimlo_app_flash PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(brimlo_app_flash PUBLIC brimlo_flash Qt6::Widgets)
set_target_properties(brimlo_app_flash PROPERTIES AUTOMOC ON)
