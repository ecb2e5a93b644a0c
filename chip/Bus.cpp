#include "chip/Bus.h"

uint8_t register16Shadow = 0x0F;
uint8_t register17Shadow = 0x0F;
