#include "hdtree/platform/dostime.h"
