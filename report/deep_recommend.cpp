#include "report/deep_recommend.h"
