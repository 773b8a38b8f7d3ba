#include "hdtree/platform/drives.h"
