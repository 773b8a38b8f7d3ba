#include "hdtree/platform/file_system.h"
