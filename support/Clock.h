#pragma once
// Milliseconds on the performance counter: steady, and finer than the tick count's 10 to 16 ms steps.
double NowMs();
