#include "dect/PipePair.h"
