/// \file
/// Umbrella header: every public header of the webjson library.
///
/// `#include <webjson/webjson.h>` gives every class of the library. The simulated control
/// server, which is a library of its own, is left out: include `<webjson/qm_simserver.h>`.
#ifndef WEBJSON_WEBJSON_H
#define WEBJSON_WEBJSON_H

#include "json_document.h"
#include "json_error.h"
#include "json_file.h"
#include "json_list.h"
#include "json_param.h"
#include "json_plot.h"
#include "json_scene.h"
#include "json_scene_attribute.h"
#include "json_scene_request.h"
#include "json_schema.h"
#include "json_stream.h"
#include "json_table.h"
#include "json_tree.h"
#include "qm_agent.h"
#include "version.h"

#endif  // WEBJSON_WEBJSON_H
