#include "hdtree/platform/scripted_search.h"
