// The support tests' own entry: started with "/trace-child", the program plays a process that never names
// its trace log; with "/trace-stuck-child", one whose thread is terminated in the middle of a trace (the
// trace log tests check the files they leave and how they end); otherwise it runs the tests.
#include <gtest/gtest.h>

#include <cstring>

int RunTraceChild();
int RunStuckTraceChild();

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "/trace-child") == 0)
        return RunTraceChild();
    if (argc == 2 && std::strcmp(argv[1], "/trace-stuck-child") == 0)
        return RunStuckTraceChild();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
