#include "hdtree/platform/report_file.h"
