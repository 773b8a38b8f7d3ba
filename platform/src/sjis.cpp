#include "hdtree/platform/sjis.h"
