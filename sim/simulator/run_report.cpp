#include "run_report.h"
