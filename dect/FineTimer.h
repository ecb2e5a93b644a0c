#pragma once
// 1 ms timer resolution for the process while it is held. Since Windows 10 version 2004 the resolution is
// each process's own and stays at 15.6 ms unless the process asks for more: the channel's 3 ms and 1 ms
// ticks would then take about 16 ms, the reader would miss nibbles and the writer send about 32 bytes a
// second.
class FineTimer {
  public:
    FineTimer() = default;
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;
    ~FineTimer();
    // Asks for the resolution once; holding it again changes nothing, so every hold has one release.
    void Hold();
    void Release();

  private:
    bool held = false;
};
