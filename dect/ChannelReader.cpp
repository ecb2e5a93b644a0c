#include "dect/ChannelReader.h"
