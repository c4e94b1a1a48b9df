// The Vireo object's sub-objects and their items. Each receives the adapter session through its
// hidden _SetApiObj.
#pragma once

#include "direzo/baseband.h"
#include "direzo/firmware.h"
#include "direzo/records.h"
#include "direzo/tallies.h"
