// Only what the hardware forces and nothing else: register 18 read every 3 ms through the phone library,
// with the 1 ms timer resolution such a poll needs. The idle cost of the program is set against this
// program's. Runs for the seconds given on its command line.
#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <cstdlib>

#include "chip/PhoneLibrary.h"
#include "chip/Registers.h"

int main(int argc, char** argv) {
    if (argc != 2 || !LoadPhoneLibrary())
        return 1;
    DWORD runMs = static_cast<DWORD>(std::atoi(argv[1])) * 1000;
    timeBeginPeriod(1);
    for (DWORD start = GetTickCount(); GetTickCount() - start < runMs;) {
        uint8_t value = 0;
        ReadRegister(18, &value);
        Sleep(3);
    }
    timeEndPeriod(1);
    UnloadPhoneLibrary();
    return 0;
}
