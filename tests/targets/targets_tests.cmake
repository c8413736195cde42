# What entries start: the rules against a system made of tables, and the system's own answers
# against files and registry keys the test makes.
kestrow_gtest(targets_test targets/target_resolver_test.cpp targets/location_kind_test.cpp
              targets/command_line_test.cpp targets/fake_target_lookup.cpp)
kestrow_gtest(system_targets_test targets/system_targets_test.cpp)
