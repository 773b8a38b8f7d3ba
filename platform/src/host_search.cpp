#include "hdtree/platform/host_search.h"
