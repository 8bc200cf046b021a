# shell_app_tests compare whole scenarios through kvopt's JSON printer of the scenario.
target_sources(shell_app_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/kvopt/scenario_json.cpp)
target_include_directories(shell_app_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/kvopt)
