# Whole scheduler ticks with a fake clock, window and actions.
qv_test(schedule_scheduler_tests scheduler_test.cpp LIBS qv_scheduler)

# Not a test: prints what one tick costs (run it by hand, Release build).
add_executable(scheduler_bench scheduler_bench.cpp)
target_link_libraries(scheduler_bench PRIVATE qv_scheduler)
