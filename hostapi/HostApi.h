// Everything the effect and our small host take from the host's effect
// interface, laid out as the host lays it out on Windows x64.
#pragma once

#include "hostapi/HostConstants.h"
#include "hostapi/HostRecords.h"
#include "hostapi/HostSuites.h"
#include "hostapi/HostTypes.h"
