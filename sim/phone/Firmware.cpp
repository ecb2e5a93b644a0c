#include "sim/phone/Firmware.h"

void FirmwareByteFromProgram(SimState&, uint8_t) {}
void FirmwareRegister16Written(SimState&, uint8_t) {}
