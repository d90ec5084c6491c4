# The dialog's flash panel: Get ID, the burn and dump files, and the burn and dump workers with
# their progress relay. The decisions join the widget-free logic library, the rest the dialog's.
target_sources(brimlo_app_logic PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/flash_panel_logic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_progress_relay.cpp
)
target_link_libraries(brimlo_app_logic PUBLIC brimlo_flash)

target_sources(brimlo_app PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/flash_file_chooser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_panel_controller.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flash_worker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/worker_boxes.cpp
)
