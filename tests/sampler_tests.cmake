# The sampler library and its use from another CMake project.
add_executable(o3_sampler_tests sampler_test.cpp made_tables.cpp)
target_link_libraries(o3_sampler_tests PRIVATE o3::sampler o3_options GTest::gtest_main)
target_compile_definitions(o3_sampler_tests PRIVATE
  O3TABLES_PATH="$<TARGET_FILE:o3tables>")
add_dependencies(o3_sampler_tests o3tables)
gtest_discover_tests(o3_sampler_tests DISCOVERY_TIMEOUT 60)

# A project of its own that takes the library with add_subdirectory.
add_test(NAME sampler_add_subdirectory
  COMMAND ${CMAKE_COMMAND}
    -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}/sampler_consumer
    -DSAMPLER=${PROJECT_SOURCE_DIR}/sampler
    -DBINARY=${CMAKE_CURRENT_BINARY_DIR}/sampler_consumer
    -DTOOL=$<TARGET_FILE:o3tables>
    -P ${CMAKE_CURRENT_SOURCE_DIR}/sampler_consumer/build_and_run.cmake)
