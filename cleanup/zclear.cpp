#include "cleanup/zclear.h"
