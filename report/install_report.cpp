#include "report/install_report.h"
