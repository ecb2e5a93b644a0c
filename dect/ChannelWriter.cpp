#include "dect/ChannelWriter.h"
