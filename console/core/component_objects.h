// The console's way to the component: every typed wrapper, one include.
#pragma once

#include "adapter_objects.h"
#include "baseband_objects.h"
#include "firmware_objects.h"
#include "record_objects.h"
#include "tallies_object.h"
#include "vireo_object.h"
