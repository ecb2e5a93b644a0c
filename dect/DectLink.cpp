#include "dect/DectLink.h"
