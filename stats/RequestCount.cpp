#include "stats/RequestCount.h"

int RequestCount = 0;
