// The anonymous pipe pair and the worker thread under the real system calls.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dect/PipePair.h"
#include "dect/WorkerThread.h"
#include "support/TraceLog.h"
#include "tests/common/TestSupport.h"

namespace {

TEST(PipePair, ReadAndWriteNeedACreatedPipe) {
    PipePair pipe;
    uint8_t byte = 1;
    EXPECT_EQ(pipe.Read(&byte, 1), 0);
    EXPECT_EQ(pipe.Write(&byte, 1), 0);
    EXPECT_EQ(pipe.Close(), 1) << "closing a pipe never created";
}

TEST(PipePair, EmptyReadReturnsAtOnceAndBytesComeOutInOrder) {
    PipePair pipe;
    ASSERT_EQ(pipe.Create(), 1);
    char buffer[16] = {};
    // A read that waited would wait for a write: none comes while the read is out.
    std::atomic<int> emptyRead{-1};
    std::thread reader([&] { emptyRead = pipe.Read(buffer, sizeof buffer); });
    bool returned = test::WaitUntil([&] { return emptyRead >= 0; }, 5000);
    EXPECT_TRUE(returned) << "a read of an empty pipe waited for a write";
    if (!returned)
        pipe.Write("!", 1);
    reader.join();
    EXPECT_EQ(emptyRead, 0);

    EXPECT_EQ(pipe.Write("abcdef", 6), 6);
    EXPECT_EQ(pipe.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(pipe.Read(buffer, sizeof buffer), 2) << "only what the pipe holds";
    EXPECT_EQ(std::string(buffer, 2), "ef");

    EXPECT_EQ(pipe.Close(), 1);
    EXPECT_EQ(pipe.created, 0);
    EXPECT_EQ(pipe.Close(), 1) << "a second Close finds nothing to close";
    EXPECT_EQ(pipe.Write("x", 1), 0);
}

// The pipe's reader waits on its event instead of looking again and again: every write that put bytes in
// sets it, nothing else does, and it lives as long as the pipe.
TEST(PipePair, EveryWriteSetsTheEventForTheReader) {
    PipePair pipe;
    EXPECT_EQ(pipe.dataEvent, nullptr);
    ASSERT_EQ(pipe.Create(), 1);
    ASSERT_NE(pipe.dataEvent, nullptr);
    EXPECT_EQ(WaitForSingleObject(pipe.dataEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "set before a write";
    EXPECT_EQ(pipe.Write("", 0), 0);
    EXPECT_EQ(WaitForSingleObject(pipe.dataEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "set by an empty write";

    // A reader on another thread sleeps until the write.
    DWORD woke = WAIT_FAILED;
    HANDLE event = pipe.dataEvent;
    std::thread reader([&] { woke = WaitForSingleObject(event, 5000); });
    Sleep(50);
    EXPECT_EQ(pipe.Write("ab", 2), 2);
    reader.join();
    EXPECT_EQ(woke, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(pipe.dataEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "one wait takes one signal";

    EXPECT_EQ(pipe.Close(), 1);
    EXPECT_EQ(pipe.dataEvent, nullptr);
}

// Frames as the packet link writes them, into a pipe that nobody reads (the channel's writer is stuck):
// every byte of a frame is its tag, so a frame cut short or mixed with another shows when read back.
constexpr int FrameSize = 20;
constexpr int PipeCapacity = 2048;

struct Writes {
    int accepted = 0;
    int refused = 0;
    int cut = 0;         // writes that put in part of a frame
    bool waited = false; // a write did not come back while nobody read
};

// Writes `frames` frames tagged from `firstTag` on a thread of its own; a write that does not come back
// within 5 s is a failure, and the pipe is then emptied to free it.
Writes WriteFrames(PipePair& pipe, int frames, char firstTag) {
    Writes writes;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < frames; ++i) {
            std::string frame(FrameSize, static_cast<char>(firstTag + i % 26));
            int written = pipe.Write(frame.data(), FrameSize);
            ++(written == FrameSize ? writes.accepted : written == 0 ? writes.refused : writes.cut);
        }
        done = true;
    });
    writes.waited = !test::WaitUntil([&] { return done.load(); }, 5000);
    char sink[PipeCapacity];
    while (!done)
        pipe.Read(sink, sizeof sink);
    writer.join();
    return writes;
}

// Everything the pipe holds, cut into frames.
std::vector<std::string> FramesHeld(PipePair& pipe) {
    std::string held;
    char buffer[PipeCapacity];
    for (int read; (read = pipe.Read(buffer, sizeof buffer)) > 0;)
        held.append(buffer, static_cast<size_t>(read));
    std::vector<std::string> frames;
    for (size_t at = 0; at < held.size(); at += FrameSize)
        frames.push_back(held.substr(at, FrameSize));
    return frames;
}

TEST(PipePair, AFrameThatDoesNotFitIsRefusedWholeAtOnceAndLogged) {
    const std::string folder = "c:\\temp\\DectBridgePipeTests";
    CreateDirectoryA("c:\\temp", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    test::DeleteFiles(folder + "\\*.txt");
    SetTraceFile((folder + "\\pipe.log").c_str());
    SetTraceLevel(40);
    PipePair pipe;
    ASSERT_EQ(pipe.Create(), 1);

    Writes writes = WriteFrames(pipe, 150, 'A');
    EXPECT_FALSE(writes.waited) << "a write waited for a reader that never came";
    EXPECT_EQ(writes.cut, 0) << "a frame went in cut";
    EXPECT_EQ(writes.accepted, PipeCapacity / FrameSize) << "the frames that fit go in";
    EXPECT_EQ(writes.refused, 150 - writes.accepted);
    std::vector<std::string> frames = FramesHeld(pipe);
    ASSERT_EQ(frames.size(), static_cast<size_t>(writes.accepted));
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i], std::string(FrameSize, static_cast<char>('A' + i % 26))) << "frame " << i;
    // Room again once the reader took the bytes.
    EXPECT_EQ(pipe.Write("abc", 3), 3);
    EXPECT_EQ(pipe.Close(), 1);

    SetTraceLevel(0);
    SetTraceFile((folder + "\\pipe.log").c_str());
    std::string log;
    for (const std::string& file : test::FindFiles(folder + "\\*.txt"))
        log += test::ReadWholeFile(file);
    size_t drops = 0;
    for (size_t at = 0; (at = log.find("[Pipe] : full, 20 bytes dropped", at)) != std::string::npos; ++at)
        ++drops;
    EXPECT_EQ(drops, static_cast<size_t>(writes.refused)) << "each refused frame is logged:\n" << log;
    test::DeleteFiles(folder + "\\*.txt");
    RemoveDirectoryA(folder.c_str());
}

TEST(PipePair, TwoWritersNeitherWaitNorOverfillNorCutFrames) {
    PipePair pipe;
    ASSERT_EQ(pipe.Create(), 1);
    Writes first, second;
    std::thread other([&] { second = WriteFrames(pipe, 200, 'a'); });
    first = WriteFrames(pipe, 200, 'A');
    other.join();
    EXPECT_FALSE(first.waited || second.waited) << "a write waited for a reader that never came";
    EXPECT_EQ(first.cut + second.cut, 0) << "a frame went in cut";
    int accepted = first.accepted + second.accepted;
    EXPECT_LE(accepted * FrameSize, PipeCapacity);
    EXPECT_GT(first.refused + second.refused, 0);
    std::vector<std::string> frames = FramesHeld(pipe);
    EXPECT_EQ(frames.size(), static_cast<size_t>(accepted));
    for (const std::string& frame : frames)
        EXPECT_EQ(frame, std::string(FrameSize, frame[0])) << "a frame was cut or mixed";
    EXPECT_EQ(pipe.Close(), 1);
}

// Counts its ticks; optionally never looks whether it is to stop.
class CountingWorker : public WorkerThread {
  public:
    explicit CountingWorker(bool obeysStop) : obeysStop(obeysStop) {}
    ~CountingWorker() override { Stop(); }
    void Run() override {
        if (obeysStop)
            TickUntilStopped(1, [this] { ++ticks; });
        else
            for (;;) {
                ++ticks;
                Sleep(1);
            }
    }
    // A handle of our own, valid after Stop forgets the thread's.
    HANDLE DuplicateThreadHandle() const {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        return copy;
    }

    const bool obeysStop;
    std::atomic<int> ticks{0};
};

DWORD ExitCodeOf(HANDLE thread) {
    DWORD code = 12345;
    GetExitCodeThread(thread, &code);
    return code;
}

TEST(WorkerThread, StartsOnceAtTimeCriticalPriorityAndStopsWithinATick) {
    CountingWorker worker(true);
    worker.Start(0);
    HANDLE first = worker.Handle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetThreadPriority(first), THREAD_PRIORITY_TIME_CRITICAL);
    worker.Start(0);
    EXPECT_EQ(worker.Handle(), first) << "a second Start while running starts nothing";
    ASSERT_TRUE(test::WaitUntil([&] { return worker.ticks > 5; }, 2000)) << "ticks: " << worker.ticks;

    HANDLE copy = worker.DuplicateThreadHandle();
    DWORD before = GetTickCount();
    worker.Stop();
    EXPECT_LT(GetTickCount() - before, 1000u);
    EXPECT_EQ(worker.Handle(), nullptr);
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(copy), 0u) << "a thread that ends by itself exits with 0";
    CloseHandle(copy);

    worker.Start(0);
    EXPECT_TRUE(worker.Running()) << "a stopped worker starts again";
}

TEST(WorkerThread, StopTerminatesAThreadThatNeverEndsAfterTenSeconds) {
    CountingWorker worker(false);
    worker.Start(0);
    ASSERT_TRUE(test::WaitUntil([&] { return worker.ticks > 5; }, 2000));
    HANDLE copy = worker.DuplicateThreadHandle();
    DWORD before = GetTickCount();
    worker.Stop();
    DWORD took = GetTickCount() - before;
    EXPECT_GE(took, WorkerThread::StopWaitMs - 50) << "Stop gave up too early";
    EXPECT_LT(took, WorkerThread::StopWaitMs + 3000) << "Stop took too long";
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0) << "the thread still runs";
    EXPECT_EQ(ExitCodeOf(copy), 1u) << "terminated threads exit with 1";
    int ticks = worker.ticks;
    Sleep(50);
    EXPECT_EQ(worker.ticks, ticks) << "the thread went on running";
    CloseHandle(copy);
}

} // namespace
