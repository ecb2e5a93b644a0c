#pragma once
// The packet link of the base in service, or nullptr while no base is (or the base has no link yet).
#include "dect/DectBase.h"
#include "dect/PacketLink.h"

inline PacketLink* HandsetLink(const DectBase* base) {
    return base ? base->Link() : nullptr;
}
