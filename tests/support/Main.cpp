// The support tests' own entry: started with "/trace-child", the program plays a process that never names
// its trace log (the trace log test checks the file it leaves); otherwise it runs the tests.
#include <gtest/gtest.h>

#include <cstring>

int RunTraceChild();

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "/trace-child") == 0)
        return RunTraceChild();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
