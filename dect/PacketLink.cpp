#include "dect/PacketLink.h"
