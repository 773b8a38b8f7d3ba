#include "hdtree/report/report.h"
