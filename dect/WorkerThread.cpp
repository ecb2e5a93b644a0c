#include "dect/WorkerThread.h"
