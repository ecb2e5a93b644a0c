#include "chip/Registers.h"

int ReadRegister(int, uint8_t*) { return 0; }
int WriteRegister(int, int) { return 0; }
