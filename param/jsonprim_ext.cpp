// Parameter node (placeholder until the parameter binding lands).
#include "json_param.h"
